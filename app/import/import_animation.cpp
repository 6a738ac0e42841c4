// The model's node animation as the scene file's keys: Assimp's node
// channels (of every animation; the first channel of a node wins) are
// evaluated along the node's chain, and each written node gets keys of its
// position and rotation in the frame of the group that holds it, at every
// time that any key of that chain has. Scale cannot be written: a part
// keeps the scale of its node at rest.
#include "app/import/import_parts.h"
#include "app/scene/animation_keys.h"

#include <algorithm>
#include <cmath>

namespace bf::import {

namespace {

constexpr double kDefaultTicksPerSecond = 25; // when a file gives none
constexpr unsigned kMaxChannelKeys = 100'000; // per list of a channel
constexpr size_t kMaxNodeKeys = 20'000;       // per written node
constexpr size_t kMaxSceneKeys = 1'000'000;   // in the whole scene file
constexpr int kMaxChainLength = 4096;

bool finite_key(double time, double a, double b, double c, double d = 0) {
  return std::isfinite(time) && std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

std::vector<PositionKey> vector_keys(const aiVectorKey *keys, unsigned count, double ticks) {
  std::vector<PositionKey> out;
  for (unsigned i = 0; keys != nullptr && i < std::min(count, kMaxChannelKeys); ++i) {
    const aiVectorKey &k = keys[i];
    if (finite_key(k.mTime, k.mValue.x, k.mValue.y, k.mValue.z))
      out.push_back({k.mTime / ticks, {k.mValue.x, k.mValue.y, k.mValue.z}});
  }
  std::stable_sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.time < b.time; });
  return out;
}

std::vector<RotationKey> quat_keys(const aiQuatKey *keys, unsigned count, double ticks) {
  std::vector<RotationKey> out;
  for (unsigned i = 0; keys != nullptr && i < std::min(count, kMaxChannelKeys); ++i) {
    const aiQuatKey &k = keys[i];
    const double n = std::sqrt(k.mValue.x * k.mValue.x + k.mValue.y * k.mValue.y + k.mValue.z * k.mValue.z +
                               k.mValue.w * k.mValue.w);
    if (finite_key(k.mTime, k.mValue.x, k.mValue.y, k.mValue.z, k.mValue.w) && n > 1e-6)
      out.push_back({k.mTime / ticks, {k.mValue.x / n, k.mValue.y / n, k.mValue.z / n, k.mValue.w / n}});
  }
  std::stable_sort(out.begin(), out.end(), [](const auto &a, const auto &b) { return a.time < b.time; });
  return out;
}

Mat3 scale_matrix(const Vec3 &s) {
  Mat3 m;
  m.m[0][0] = s.x, m.m[1][1] = s.y, m.m[2][2] = s.z;
  return m;
}

bool near(const Mat3 &a, const Mat3 &b) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!(std::fabs(a.m[i][j] - b.m[i][j]) <= 1e-5 * (1 + std::fabs(b.m[i][j]))))
        return false;
  return true;
}

} // namespace

NodeMotion::NodeMotion(const ModelFile &model) : path_(model.path()) {
  const aiScene &scene = model.scene();
  for (unsigned a = 0; scene.mAnimations != nullptr && a < scene.mNumAnimations; ++a) {
    const aiAnimation *animation = scene.mAnimations[a];
    if (animation == nullptr || animation->mChannels == nullptr)
      continue;
    const double tps = animation->mTicksPerSecond;
    const double ticks = std::isfinite(tps) && tps > 0 ? tps : kDefaultTicksPerSecond;
    for (unsigned c = 0; c < animation->mNumChannels; ++c) {
      const aiNodeAnim *channel = animation->mChannels[c];
      if (channel == nullptr || channels_.count(ai_text(channel->mNodeName)))
        continue;
      Channel &out = channels_[ai_text(channel->mNodeName)];
      out.position = vector_keys(channel->mPositionKeys, channel->mNumPositionKeys, ticks);
      out.rotation = quat_keys(channel->mRotationKeys, channel->mNumRotationKeys, ticks);
      out.scale = vector_keys(channel->mScalingKeys, channel->mNumScalingKeys, ticks);
    }
  }
}

const NodeMotion::Channel *NodeMotion::channel(const aiNode *node) const {
  auto it = channels_.find(ai_text(node->mName));
  return it == channels_.end() ? nullptr : &it->second;
}

// The node's own placement at `time`; at rest (its file placement) when
// `rest` is set or no channel moves it.
Affine NodeMotion::local(const aiNode *node, double time, bool rest) const {
  const Channel *c = rest ? nullptr : channel(node);
  if (c == nullptr)
    return to_affine(node->mTransformation);
  aiVector3D scaling, position;
  aiQuaternion rotation;
  node->mTransformation.Decompose(scaling, rotation, position);
  const Vec3 s = c->scale.empty() ? Vec3{scaling.x, scaling.y, scaling.z}
                                  : position_at(c->scale, time, KeyInterpolation::linear);
  const Quat q = c->rotation.empty() ? Quat{rotation.x, rotation.y, rotation.z, rotation.w}
                                     : rotation_at(c->rotation, time, KeyInterpolation::linear);
  const Vec3 t = c->position.empty() ? Vec3{position.x, position.y, position.z}
                                     : position_at(c->position, time, KeyInterpolation::linear);
  return {oku::multiply(quat_matrix(q), scale_matrix(s)), t};
}

// The node's placement in the scene at `time` (or at rest).
Affine NodeMotion::world(const aiNode *node, double time, bool rest) const {
  std::vector<const aiNode *> chain;
  for (; node != nullptr && chain.size() < kMaxChainLength; node = node->mParent)
    chain.push_back(node);
  Affine out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    out = compose(out, local(*it, time, rest));
  return out;
}

ojson NodeMotion::keys(const aiNode *node, const aiNode *frame_node, const std::string &name) {
  if (channels_.empty())
    return ojson();
  std::vector<double> times;
  int steps = 0;
  for (const aiNode *n = node; n != nullptr && n != frame_node && steps < kMaxChainLength;
       n = n->mParent, ++steps)
    if (const Channel *c = channel(n)) {
      for (const auto &k : c->position)
        times.push_back(k.time);
      for (const auto &k : c->rotation)
        times.push_back(k.time);
      for (const auto &k : c->scale)
        times.push_back(k.time);
    }
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  if (times.empty())
    return ojson();
  if (times.size() > kMaxNodeKeys) {
    report_warning(path_ + ": node \"" + name + "\" has more than " + std::to_string(kMaxNodeKeys) +
                   " animation keys; the later ones are left out");
    times.resize(kMaxNodeKeys);
  }
  if (keys_written_ + times.size() > kMaxSceneKeys) {
    if (keys_written_ <= kMaxSceneKeys)
      report_warning(path_ + ": the animation has more than " + std::to_string(kMaxSceneKeys) +
                     " keys in all; the nodes past them keep still");
    keys_written_ = kMaxSceneKeys + 1;
    return ojson();
  }
  keys_written_ += times.size();
  Mat3 rest_rotation, rest_shape;
  Vec3 rest_position;
  if (!relative(node, frame_node, 0, true, rest_position, rest_rotation, rest_shape))
    return ojson();
  ojson positions = ojson::array(), rotations = ojson::array();
  bool moves = false, turns = false, scales = false;
  for (double t : times) {
    Mat3 r, shape;
    Vec3 p;
    if (!relative(node, frame_node, t, false, p, r, shape))
      return ojson();
    moves = moves || vec_json(p) != vec_json(rest_position);
    turns = turns || !near(r, rest_rotation);
    scales = scales || !near(shape, rest_shape);
    const Quat q = matrix_quat(r);
    positions.push_back({number(t), vec_json(p)});
    rotations.push_back({number(t), {number(q[0]), number(q[1]), number(q[2]), number(q[3])}});
  }
  if (scales)
    report_warning(path_ + ": node \"" + name +
                   "\" is scaled by its animation; the scale cannot be animated, so it "
                   "keeps the scale it has at rest");
  ojson out = ojson::object();
  if (moves)
    out[scene_keys::animation::position.name] = std::move(positions);
  if (turns)
    out[scene_keys::animation::rotation.name] = std::move(rotations);
  return out.empty() ? ojson() : out;
}

// The node's position, rotation and shape in the frame of `frame_node`.
bool NodeMotion::relative(const aiNode *node, const aiNode *frame_node, double time, bool rest,
                          Vec3 &position, Mat3 &rotation, Mat3 &shape) const {
  const Affine own = world(node, time, rest);
  Affine frame;
  Mat3 frame_rotation, frame_shape;
  if (frame_node != nullptr)
    frame = world(frame_node, time, rest);
  if (!finite(own) || !finite(frame))
    return false;
  split(frame.l, frame_rotation, frame_shape);
  Mat3 own_rotation;
  split(own.l, own_rotation, shape);
  const Mat3 back = oku::transpose(frame_rotation);
  position = oku::apply(back, oku::sub(own.t, frame.t));
  rotation = oku::multiply(back, own_rotation);
  return true;
}

} // namespace bf::import
