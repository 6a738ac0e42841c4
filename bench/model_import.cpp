// Scene import, whole process: `brightfold save MODEL OUT.pov` on a real
// glTF file and on a generated one of 1,000,000 triangles (100 meshes of
// 10,000 triangles, placed by 1,000 nodes, ten each), each run a process of
// its own. The peak is the process's ru_maxrss; "input" is the meshes' own
// size (their positions, normals and indices as the file holds them).
#include "bench_support.h"

#include <sys/resource.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <fstream>

namespace {

const std::string kProgram = BF_BINARY_DIR "/bin/brightfold";
const std::string kEngine = "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";
const int kMeshes = 100, kNodes = 1000, kAcross = 100, kDown = 50; // 2 * 100 * 50 triangles a mesh
const double kTargetSeconds = 2.0;

// Writes the generated model (a .gltf with its .bin beside it); answers the
// meshes' own size in bytes.
double write_model(const std::string &path) {
  using json = nlohmann::json;
  std::vector<char> bin;
  json doc = {{"asset", {{"version", "2.0"}}}, {"scene", 0}, {"scenes", {{{"nodes", json::array()}}}}};
  const auto view = [&](const void *data, size_t size) {
    const size_t offset = bin.size();
    bin.insert(bin.end(), static_cast<const char *>(data), static_cast<const char *>(data) + size);
    doc["bufferViews"].push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", size}});
    return doc["bufferViews"].size() - 1;
  };
  const int columns = kAcross + 1, rows = kDown + 1;
  for (int m = 0; m < kMeshes; ++m) {
    std::vector<float> positions, normals;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x) {
        const double a = 6.283185307 * x / kAcross, b = 3.14159265 * y / kDown, r = 1 + 0.002 * m;
        positions.insert(positions.end(), {float(r * std::sin(b) * std::cos(a)), float(r * std::cos(b)),
                                           float(r * std::sin(b) * std::sin(a))});
        normals.insert(normals.end(), {float(std::sin(b) * std::cos(a)), float(std::cos(b)),
                                       float(std::sin(b) * std::sin(a))});
      }
    std::vector<uint32_t> indices;
    for (int y = 0; y < kDown; ++y)
      for (int x = 0; x < kAcross; ++x) {
        const uint32_t i = y * columns + x;
        indices.insert(indices.end(), {i, i + columns, i + 1, i + 1, i + columns, i + columns + 1});
      }
    const size_t n = positions.size() / 3;
    json p = {{"bufferView", view(positions.data(), positions.size() * 4)},
              {"componentType", 5126},
              {"count", n},
              {"type", "VEC3"},
              {"min", {-2, -2, -2}},
              {"max", {2, 2, 2}}};
    json q = {{"bufferView", view(normals.data(), normals.size() * 4)},
              {"componentType", 5126},
              {"count", n},
              {"type", "VEC3"}};
    json k = {{"bufferView", view(indices.data(), indices.size() * 4)},
              {"componentType", 5125},
              {"count", indices.size()},
              {"type", "SCALAR"}};
    doc["accessors"].push_back(p), doc["accessors"].push_back(q), doc["accessors"].push_back(k);
    const size_t a = doc["accessors"].size();
    json primitive = {{"attributes", {{"POSITION", a - 3}, {"NORMAL", a - 2}}}, {"indices", a - 1}};
    doc["meshes"].push_back({{"primitives", json::array({primitive})}});
  }
  for (int i = 0; i < kNodes; ++i) {
    const double angle = i * 0.1;
    doc["nodes"].push_back({{"name", "n" + std::to_string(i)},
                            {"mesh", i % kMeshes},
                            {"translation", {i % 32 * 5, i / 32 * 5, 0}},
                            {"rotation", {0, std::sin(angle / 2), 0, std::cos(angle / 2)}}});
    doc["scenes"][0]["nodes"].push_back(i);
  }
  const std::string bin_name = std::filesystem::path(path).stem().string() + ".bin";
  doc["buffers"] = {{{"byteLength", bin.size()}, {"uri", bin_name}}};
  std::ofstream(std::filesystem::path(path).parent_path() / bin_name, std::ios::binary)
      .write(bin.data(), bin.size());
  std::ofstream(path) << doc.dump();
  return static_cast<double>(bin.size());
}

// Triangles and binary size of a .glb file, from its JSON chunk.
bool glb_facts(const std::string &path, double &triangles, double &bytes) {
  std::ifstream in(path, std::ios::binary);
  uint32_t header[5] = {};
  if (!in.read(reinterpret_cast<char *>(header), sizeof header) || header[0] != 0x46546C67)
    return false;
  std::string text(header[3], '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  const auto doc = nlohmann::json::parse(text, nullptr, false);
  if (doc.is_discarded())
    return false;
  triangles = 0;
  for (const auto &mesh : doc.value("meshes", nlohmann::json::array()))
    for (const auto &p : mesh.value("primitives", nlohmann::json::array()))
      if (p.value("mode", 4) == 4 && p.contains("indices"))
        triangles += doc["accessors"][p["indices"].get<size_t>()].value("count", 0) / 3;
  bytes = 0;
  for (const auto &b : doc.value("buffers", nlohmann::json::array()))
    bytes += b.value("byteLength", 0.0);
  return true;
}

// One whole `brightfold save` process.
bench::Sample run_save(const std::string &model, const std::string &out) {
  bench::Sample s;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stderr);
    execl(kProgram.c_str(), kProgram.c_str(), "save", model.c_str(), out.c_str(),
          static_cast<char *>(nullptr));
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0)
    s.ok = 1;
  s.seconds = bench::seconds_since(start);
  s.peak_kib = usage.ru_maxrss;
  s.extra_kib = -1;
  double bytes = 0;
  for (const auto &entry : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path()))
    if (entry.path().extension() == ".pov" || entry.path().extension() == ".inc")
      bytes += static_cast<double>(entry.file_size());
  s.bytes = bytes;
  return s;
}

bench::Row measure_case(const std::string &name, const std::string &model, double triangles, double own_bytes,
                        const std::string &scratch) {
  bench::Row row;
  row.name = name;
  row.items = triangles;
  row.unit = "tri";
  const std::string dir = scratch + "/" + std::to_string(row.times.size()) + name.substr(0, 3);
  for (int i = 0; i < bench::runs(); ++i) {
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    bench::Sample s = run_save(model, dir + "/out.pov");
    s.input_kib = static_cast<long>(own_bytes / 1024);
    row.add(s);
  }
  std::filesystem::remove_all(dir);
  return row;
}

} // namespace

int main() {
  const std::string scratch = bench::make_scratch_dir("bench_model_import");
  if (scratch.empty() || access(kProgram.c_str(), X_OK) != 0) {
    fprintf(stderr, "bench_model_import: no scratch directory or no %s\n", kProgram.c_str());
    return 1;
  }
  printf("scene import: brightfold save MODEL OUT.pov, whole process (input = the meshes' own MiB)\n");
  bench::print_header();
  bool ok = true;
  double triangles = 0, bytes = 0;
  if (glb_facts(kEngine, triangles, bytes)) {
    const bench::Row engine = measure_case("2CylinderEngine.glb", kEngine, triangles, bytes, scratch);
    bench::print_row(engine);
    ok = ok && engine.ok;
  }
  const std::string model = scratch + "/million.gltf";
  const double own = write_model(model);
  const bench::Row million =
      measure_case("glTF 1M triangles, 1000 nodes", model, 2.0 * kAcross * kDown * kMeshes, own, scratch);
  bench::print_row(million);
  if (getenv("BENCH_KEEP") == nullptr) // BENCH_KEEP=1 keeps the generated model
    std::filesystem::remove_all(scratch);
  const double median = bench::stats(million.times).median;
  const double memory = million.peak_kib * 1024.0 / own;
  printf("target: 1M triangles under %.0f s: %s (%.3f s); peak memory at most twice the meshes' own size: %s "
         "(%.1f times)\n",
         kTargetSeconds, median < kTargetSeconds ? "met" : "NOT met", median, memory <= 2 ? "met" : "NOT met",
         memory);
  return ok && million.ok ? 0 : 1;
}
