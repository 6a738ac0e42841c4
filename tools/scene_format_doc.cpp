// The key tables of the scene format reference, made from the scene file's
// keys. Each table follows a line "<!-- scene keys: TABLE, ... -->" naming
// the tables it shows; the prose around it is left as it is.
//   scene_format_doc DOC          prints DOC with its key tables made anew
//   scene_format_doc --check DOC  fails, saying where, when they differ
#include "app/scene/scene_schema.h"

#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace sk = bf::scene_keys;

const std::string kMarker = "<!-- scene keys: ";

std::vector<std::string> lines_of(const std::string &path) {
  std::ifstream in(path);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The table's rows for the schema tables named in `marker`, which the
// document must show once each (`shown` counts them).
std::vector<std::string> table_for(const std::string &marker, std::map<std::string, int> &shown) {
  std::vector<std::string> rows{"| key | type, range | default |", "|---|---|---|"};
  std::string names = marker.substr(kMarker.size());
  names = names.substr(0, names.find(" -->"));
  std::istringstream list(names);
  for (std::string name; std::getline(list, name, ',');) {
    name.erase(0, name.find_first_not_of(' '));
    auto it = shown.find(name);
    if (it == shown.end())
      throw std::runtime_error("the document names an unknown key table \"" + name + "\"");
    ++it->second;
    for (const sk::Table *table : sk::all_tables())
      if (table->name == name)
        for (const sk::Key *key : table->keys)
          rows.push_back(sk::doc_row(*key));
  }
  return rows;
}

// The document with every key table made anew.
std::vector<std::string> regenerate(const std::vector<std::string> &doc) {
  std::map<std::string, int> shown;
  for (const sk::Table *table : sk::all_tables())
    shown[table->name] = 0;
  std::vector<std::string> out;
  for (size_t i = 0; i < doc.size(); ++i) {
    out.push_back(doc[i]);
    if (doc[i].compare(0, kMarker.size(), kMarker) != 0)
      continue;
    for (const std::string &row : table_for(doc[i], shown))
      out.push_back(row);
    while (i + 1 < doc.size() && !doc[i + 1].empty() && doc[i + 1][0] == '|')
      ++i;
  }
  for (const auto &[name, count] : shown)
    if (count != 1)
      throw std::runtime_error("the document shows the key table \"" + name + "\" " + std::to_string(count) +
                               " times instead of once");
  return out;
}

} // namespace

int main(int argc, char **argv) {
  const bool check = argc == 3 && std::strcmp(argv[1], "--check") == 0;
  if (argc != 2 && !check) {
    std::cerr << "usage: scene_format_doc [--check] DOC\n";
    return 2;
  }
  const std::string path = argv[argc - 1];
  try {
    const std::vector<std::string> doc = lines_of(path), made = regenerate(doc);
    if (!check) {
      for (const std::string &line : made)
        std::cout << line << '\n';
      return 0;
    }
    for (size_t i = 0; i < doc.size() || i < made.size(); ++i)
      if (i >= doc.size() || i >= made.size() || doc[i] != made[i]) {
        std::cerr << path << ":" << i + 1
                  << ": the key tables differ from the scene file's keys; expected\n  "
                  << (i < made.size() ? made[i] : "(the end)") << "\nmake them with: scene_format_doc "
                  << path << " > new.md\n";
        return 1;
      }
    return 0;
  } catch (const std::exception &e) {
    std::cerr << "scene_format_doc: " << e.what() << '\n';
    return 1;
  }
}
