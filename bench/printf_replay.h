// The printf baseline for any scene text: the text is cut (before timing)
// into runs of literal text each followed by a number that "%g" prints
// exactly as it stands, and written again with one fprintf("%.*s%g") per
// number into a plainly buffered stream, as a writer that prints every
// number with printf would write it. Binary files (Targa images) are
// written with one fwrite.
#pragma once

#include "bench_support.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

class PrintfReplay {
public:
  static std::string output_path(const std::string &scratch_dir, size_t i) {
    return scratch_dir + "/printf_" + std::to_string(i);
  }

  void load(const std::vector<std::string> &from, const std::string &scratch_dir) {
    for (size_t i = 0; i < from.size(); ++i) {
      File file;
      file.text = read_file(from[i]);
      file.path = output_path(scratch_dir, i);
      cut(file);
      files_.push_back(std::move(file));
    }
  }

  // Answers the bytes written, or -1 when a file could not be written.
  double write() const {
    double bytes = 0;
    for (const File &file : files_) {
      FILE *out = fopen(file.path.c_str(), "w");
      if (!out)
        return -1;
      const char *text = file.text.data();
      if (file.binary)
        fwrite(text, 1, file.text.size(), out);
      else
        for (const Piece &piece : file.pieces)
          fprintf(out, "%.*s%g", piece.literal_length, text + piece.literal_begin, piece.value);
      if (!file.binary)
        fputs(text + file.tail_begin, out);
      if (fclose(out) != 0)
        return -1;
      bytes += double(file.text.size());
    }
    return bytes;
  }

  // Whether the files written into scratch_dir hold exactly the texts of
  // `from`.
  static bool same_as(const std::vector<std::string> &from, const std::string &scratch_dir) {
    bool same = true;
    for (size_t i = 0; i < from.size(); ++i)
      same = same && read_file(output_path(scratch_dir, i)) == read_file(from[i]);
    return same;
  }

private:
  struct Piece {
    size_t literal_begin;
    int literal_length;
    double value;
  };
  struct File {
    std::string path, text;
    std::vector<Piece> pieces;
    size_t tail_begin = 0;
    bool binary = false;
  };

  static bool name_char(char c) { return isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }
  static bool digit(char c) { return c >= '0' && c <= '9'; }

  // The end of a number that starts at i, or i when none starts there.
  static size_t number_end(const std::string &t, size_t i) {
    if (i > 0 && name_char(t[i - 1]))
      return i;
    size_t j = i + (t[i] == '-' ? 1 : 0);
    if (j >= t.size() || !digit(t[j]))
      return i;
    while (j < t.size() && (digit(t[j]) || t[j] == '.'))
      ++j;
    if (j + 2 < t.size() && t[j] == 'e' && (t[j + 1] == '+' || t[j + 1] == '-') && digit(t[j + 2])) {
      j += 2;
      while (j < t.size() && digit(t[j]))
        ++j;
    }
    return j < t.size() && name_char(t[j]) ? i : j;
  }

  static void cut(File &file) {
    const std::string &t = file.text;
    file.binary = t.find('\0') != std::string::npos;
    if (file.binary)
      return;
    size_t literal = 0;
    for (size_t i = 0; i < t.size();) {
      size_t end = number_end(t, i);
      if (end == i) {
        ++i;
        continue;
      }
      std::string token = t.substr(i, end - i);
      double value = strtod(token.c_str(), nullptr);
      char printed[64];
      snprintf(printed, sizeof printed, "%g", value);
      if (token == printed && i - literal < (1u << 30)) {
        file.pieces.push_back(Piece{literal, static_cast<int>(i - literal), value});
        literal = end;
      }
      i = end;
    }
    file.tail_begin = literal;
  }

  std::vector<File> files_;
};

} // namespace bench
