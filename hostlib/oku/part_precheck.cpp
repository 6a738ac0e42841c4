// Announced element counts against file sizes, and the node graph scans.
#include "oku/part_precheck.h"
#include "core/ascii_text.h"
#include "oku/gltf_accessors.h"
#include "oku/gltf_json.h"
#include "oku/node_graph.h"
#include "oku/utf16_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace oku {

namespace {

const char *const kTooMany = "the file is cut off or announces more elements than it holds";

// Words of a header, with '#' comments left out.
std::vector<std::string> header_words(const std::string &text, size_t limit) {
  std::vector<std::string> words;
  std::istringstream lines(text);
  std::string line;
  while (words.size() < limit && std::getline(lines, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream in(line);
    std::string word;
    while (in >> word)
      words.push_back(word);
  }
  return words;
}

// A count as a header writes it, its leading digits as Assimp's readers
// take them (a count of more than 15 digits as 10^15); -1 when it is no count.
long long count_of(const std::string &word) {
  const size_t digits = std::min(word.find_first_not_of("0123456789"), word.size());
  if (digits == 0)
    return -1;
  return digits > 15 ? 1000000000000000LL : std::stoll(word.substr(0, digits));
}

// OFF: an optional "[ST][C][N][4][n]OFF" (for "n", a dimension follows),
// the vertex, face and edge counts, then a line per vertex (three numbers
// at least: 6 bytes) and per face (a count: 2 bytes). Assimp reads the
// header's letters loosely, so the counts may be either of the first two
// pairs of numbers: both must fit.
std::string off_problem(const std::string &head, long long size) {
  std::vector<std::string> words = header_words(head, 4);
  if (!words.empty() && count_of(words[0]) < 0)
    words.erase(words.begin());
  std::vector<long long> counts;
  for (const std::string &word : words)
    if (const long long n = count_of(word); n >= 0)
      counts.push_back(n);
    else
      break;
  for (size_t i = 0; i + 1 < counts.size() && i < 2; ++i)
    if (counts[i] * 6 + counts[i + 1] * 2 > size)
      return kTooMany;
  return "";
}

int ply_type_size(const std::string &type) {
  static const char *const one[] = {"char", "uchar", "int8", "uint8"};
  static const char *const two[] = {"short", "ushort", "int16", "uint16"};
  static const char *const eight[] = {"double", "float64"};
  for (const char *t : one)
    if (type == t)
      return 1;
  for (const char *t : two)
    if (type == t)
      return 2;
  for (const char *t : eight)
    if (type == t)
      return 8;
  return 4;
}

// PLY: every element takes at least a byte, and in a binary file at least
// the bytes of its properties (a list property at least its count); in a
// text file two bytes per property.
std::string ply_problem(const std::string &head, long long size) {
  const size_t end = head.find("end_header");
  if (zal::ascii_lower(head.substr(0, 3)) != "ply" || end == std::string::npos) // Assimp takes any case
    return "";
  std::istringstream lines(head.substr(0, end));
  std::string line;
  bool binary = false;
  long long need = 0, count = 0, element = 0;
  const auto close_element = [&] { need += count * std::max<long long>(element, 1); };
  while (std::getline(lines, line)) {
    std::istringstream in(line);
    std::string word, a, b;
    in >> word >> a >> b;
    if (word == "format") {
      binary = a != "ascii";
    } else if (word == "element") {
      close_element();
      count = std::max<long long>(count_of(b), 0);
      element = 0;
    } else if (word == "property") {
      element += binary ? ply_type_size(a == "list" ? b : a) : 2;
    }
    if (need > size)
      return kTooMany;
  }
  close_element();
  const size_t data = head.find('\n', end); // the elements start on the next line
  if (data == std::string::npos)
    return "";
  return need > size - static_cast<long long>(data + 1) ? kTooMany : "";
}

uint32_t le(const std::string &bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = size; i-- > 0;)
    v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return v;
}

// The JSON of a binary glTF file: version 2 has chunks of length, type and
// data, the first one JSON; version 1 has the JSON's length and format (0)
// in its header. Both start the JSON at byte 20 and give its length at 12.
// `body` is the length of version 1's binary body, from the next multiple
// of 4 to the file length its header states (-1: none, or version 2).
std::string glb_json(const std::string &bytes, long long &body) {
  body = -1;
  if (bytes.size() < 20 || bytes.compare(0, 4, "glTF") != 0)
    return "";
  const uint32_t version = le(bytes, 4, 4), length = le(bytes, 12, 4);
  if (version == 1 && le(bytes, 16, 4) == 0) {
    const long long start = (20LL + length + 3) / 4 * 4;
    body = std::max<long long>(static_cast<long long>(le(bytes, 8, 4)) - start, 0);
  } else if (bytes.compare(16, 4, "JSON") != 0) {
    return "";
  }
  return bytes.substr(20, length);
}

// What stops a glTF document from being read: its node graph
// (node_graph.h), then its accessors (gltf_accessors.h). A document that
// cannot be parsed is left to Assimp, which says what is wrong with it.
std::string gltf_problem(const std::string &text, long long glb_body) {
  std::string problem;
  const nlohmann::json doc = read_gltf_json(text, problem);
  if (!problem.empty() || !doc.is_object())
    return problem;
  if (std::string graph = gltf_graph_problem(doc); !graph.empty())
    return graph;
  return gltf_accessor_problem(doc, glb_body);
}

// The zip archive's members by its central directory, found through the
// record that ends the file (after a comment of at most 65535 bytes).
std::string archive_problem(std::ifstream &in, long long size) {
  const long long tail = std::min<long long>(size, 65535 + 22);
  std::string end(static_cast<size_t>(tail), '\0');
  in.seekg(size - tail);
  in.read(end.data(), tail);
  const size_t at = end.rfind("PK\x05\x06");
  if (!in || at == std::string::npos || at + 22 > end.size())
    return ""; // no archive that Assimp could open either
  const long long length = le(end, at + 12, 4), offset = le(end, at + 16, 4);
  if (offset + length > size)
    return "";
  std::string directory(static_cast<size_t>(length), '\0');
  in.seekg(offset);
  in.read(directory.data(), length);
  long long unpacked = 0;
  const std::string too_much = "the archive unpacks to more than " + std::to_string(kMaxUnpackedBytes >> 20) +
                               " MiB, more than a model may";
  for (size_t p = 0; in && p + 46 <= directory.size() && le(directory, p, 4) == 0x02014b50;
       p += 46 + le(directory, p + 28, 2) + le(directory, p + 30, 2) + le(directory, p + 32, 2)) {
    const uint32_t stated = le(directory, p + 24, 4);
    unpacked += stated;
    if (stated == 0xffffffffu || unpacked > kMaxUnpackedBytes) // the first: a size in a zip64 field
      return too_much;
  }
  return "";
}

// What Assimp's readers take a file for when its extension leaves them the
// choice (a ".gltf" file that holds no glTF goes to any reader that claims
// it): "ply", "off", "glb", "gltf", "dae", or "" for none checked here.
std::string content_kind(const std::string &head) {
  const std::string start = zal::ascii_lower(head.substr(0, 3));
  if (start == "ply" || start == "off")
    return start;
  if (head.compare(0, 4, "glTF") == 0)
    return "glb";
  const size_t first = head.find_first_not_of(" \t\r\n");
  if (first != std::string::npos && head[first] == '{')
    return "gltf";
  return zal::ascii_lower(head.substr(0, 200)).find("<collada") != std::string::npos ? "dae" : "";
}

bool read_whole(const std::string &kind) { return kind == "gltf" || kind == "dae"; }

std::string problem_as(const std::string &b, const std::string &type, long long size) {
  if (type == "off")
    return off_problem(b.substr(0, 4096), size);
  if (type == "ply")
    return ply_problem(b.substr(0, 65536), size);
  if (type == "gltf")
    return gltf_problem(b, -1);
  if (type == "glb") {
    long long body = -1;
    const std::string json = glb_json(b, body);
    return gltf_problem(json, body);
  }
  if (type == "dae")
    return collada_graph_problem(b);
  return "";
}

} // namespace

std::string part_bytes_problem(const std::string &bytes, const std::string &type, long long size) {
  std::string text;
  const std::string &b = utf16_to_utf8(bytes, text) ? text : bytes;
  const std::string problem = problem_as(b, type, size), kind = content_kind(b);
  return problem.empty() && kind != type ? problem_as(b, kind, size) : problem;
}

std::string part_file_problem(const std::string &path, const std::string &type) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  const long long size = in.tellg();
  if (!in || size <= 0)
    return "";
  char magic[4] = {};
  in.seekg(0);
  if (in.read(magic, 4) && std::memcmp(magic, "PK\x03\x04", 4) == 0)
    return archive_problem(in, size);
  in.clear();
  std::string bytes(static_cast<size_t>(std::min<long long>(size, 65536)), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const std::string kind = content_kind(bytes);
  if (read_whole(type) || read_whole(kind)) {
    bytes.resize(static_cast<size_t>(size));
    in.clear();
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  } else if ((type == "glb" || kind == "glb") && bytes.size() >= 16) {
    // The JSON chunk may be longer than what was read.
    const uint32_t length = le(bytes, 12, 4);
    if (length <= size - 20) {
      bytes.resize(20 + length);
      in.clear();
      in.seekg(0);
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
  }
  return part_bytes_problem(bytes, type, size);
}

} // namespace oku
