// Conversion of a host texture image into the record's Targa file. Planar
// textures and the backdrop are copied (mirrored along an axis whose scale is
// negative); cylindrical and spherical ones have the scale built into the
// image, since the scene wraps the whole image once around the object: the
// source is laid side by side as often as the scale asks, reduced by an
// integer box filter so the output never exceeds twice the source size.
#include "base/pov_file_check.h"
#include "base/pov_file_out.h"
#include "texture/pov_texture_internal.h"
#include "win32.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

namespace {

// Reduction factors are held below this. A larger one (only absurd scales
// give one) averages whole copies of the source instead: the largest
// multiple of the source size within the limit, which gives the source's
// mean along that axis, the value every larger factor tends to.
const double kMaxReduce = 1 << 30;

// How far the output spans on one axis (cover source sizes) and by how much it
// is reduced; 0 when the axis cannot give an image.
int resample_axis(int size, double cover, int *reduce, int *out_size) {
  if (!std::isfinite(cover))
    return 0;
  double r = *reduce;
  if (cover > 2)
    r = ceil(cover * 0.5);
  double out = ceil(size * cover / r);
  if (!(out >= 1) || out > 2.0 * size + 1)
    return 0; // a scale of 0 leaves nothing to write
  *out_size = static_cast<int>(out);
  if (r > kMaxReduce)
    r = std::max(1.0, floor(kMaxReduce / size)) * size;
  *reduce = static_cast<int>(r);
  return 1;
}

// v mod n, mirrored (k -> n - k) when the axis's scale is negative.
inline int64_t wrap(int64_t v, int64_t n, int mirror) {
  int64_t m = v % n;
  return mirror ? (n - m) % n : m;
}

// Whether the cell's source columns are consecutive pixels (no mirroring and
// no wrap), so that rows can be read straight through, which the compiler
// turns into vector code.
bool consecutive(const std::vector<int32_t> &columns) {
  for (size_t i = 1; i < columns.size(); i++)
    if (columns[i] != columns[0] + static_cast<int32_t>(4 * i))
      return false;
  return true;
}

// One cell row without reduction: a plain (possibly mirrored) pixel copy.
void copy_row(const unsigned char *in, const std::vector<int32_t> &columns, bool straight, int width, int bpp,
              unsigned char alpha, unsigned char *out) {
  if (straight && bpp == 3) {
    const unsigned char *p = in + columns[0];
    for (int c = 0; c < width; c++) {
      out[3 * c] = p[4 * c];
      out[3 * c + 1] = p[4 * c + 1];
      out[3 * c + 2] = p[4 * c + 2];
    }
    return;
  }
  for (int c = 0; c < width; c++, out += bpp) {
    const unsigned char *p = in + columns[c];
    out[0] = p[0];
    out[1] = p[1];
    out[2] = p[2];
    if (bpp == 4)
      out[3] = alpha;
  }
}

void fill_cell_copy(const VYbitmap *source, const TextureLayout &l, const std::vector<int32_t> &columns,
                    VYbitmap *output) {
  const int bpp = output->bytes_per_pixel();
  const size_t out_row = static_cast<size_t>(l.out_width) * bpp;
  const size_t src_row = static_cast<size_t>(source->width()) * 4;
  const bool straight = consecutive(columns);
  for (int r = 0; r < l.cell_height; r++) {
    int64_t y = wrap(static_cast<int64_t>(l.crop_y) + r, source->height(), l.mirror_y);
    unsigned char *out = output->data() + (l.cell_y + r) * out_row + static_cast<size_t>(l.cell_x) * bpp;
    copy_row(source->data() + y * src_row, columns, straight, l.cell_width, bpp, l.alpha, out);
  }
}

// Adds one source row into the cell's running sums, four per output pixel
// (the fourth, alpha, is summed along and ignored: it keeps the sums in step
// with the source pixels, so straight rows add as one flat vector loop).
template <class Sum>
void add_row(const unsigned char *in, const TextureLayout &l, const std::vector<int32_t> &columns,
             bool straight, Sum *__restrict sum) {
  const size_t n = static_cast<size_t>(l.cell_width) * 4;
  if (straight) {
    const unsigned char *__restrict p = in + columns[0];
    if (l.reduce_x == 1) {
      for (size_t i = 0; i < n; i++)
        sum[i] += p[i];
      return;
    }
    for (size_t c = 0; c < n; c += 4, p += 4 * l.reduce_x)
      for (int i = 0; i < l.reduce_x; i++)
        for (int k = 0; k < 4; k++)
          sum[c + k] += p[4 * i + k];
    return;
  }
  const int32_t *column = columns.data();
  for (size_t c = 0; c < n; c += 4)
    for (int i = 0; i < l.reduce_x; i++) {
      const unsigned char *p = in + *column++;
      for (int k = 0; k < 4; k++)
        sum[c + k] += p[k];
    }
}

// Middle copy with reduction: each output pixel averages reduce_x x reduce_y
// source pixels, rounded to nearest (sum / n + 0.5, truncated).
template <class Sum>
void fill_cell_reduced(const VYbitmap *source, const TextureLayout &l, const std::vector<int32_t> &columns,
                       VYbitmap *output) {
  const int bpp = output->bytes_per_pixel();
  const size_t out_row = static_cast<size_t>(l.out_width) * bpp;
  const size_t src_row = static_cast<size_t>(source->width()) * 4;
  const uint64_t n = static_cast<uint64_t>(l.reduce_x) * l.reduce_y;
  const bool straight = consecutive(columns);
  // Small reductions (the usual ones) turn sums into averages by a table.
  std::vector<unsigned char> table;
  if (n <= 256) {
    table.resize(n * 255 + 1);
    for (uint64_t s = 0; s < table.size(); s++)
      table[s] = static_cast<unsigned char>((2 * s + n) / (2 * n));
  }
  std::vector<Sum> sums(static_cast<size_t>(l.cell_width) * 4);
  for (int r = 0; r < l.cell_height; r++) {
    std::fill(sums.begin(), sums.end(), 0);
    for (int j = 0; j < l.reduce_y; j++) {
      int64_t y = wrap((static_cast<int64_t>(l.crop_y) + r) * l.reduce_y + j, source->height(), l.mirror_y);
      add_row(source->data() + y * src_row, l, columns, straight, sums.data());
    }
    unsigned char *out = output->data() + (l.cell_y + r) * out_row + static_cast<size_t>(l.cell_x) * bpp;
    const Sum *sum = sums.data();
    for (int c = 0; c < l.cell_width; c++, out += bpp, sum += 4) {
      for (int k = 0; k < 3; k++)
        out[k] = !table.empty()
                     ? table[sum[k]]
                     : static_cast<unsigned char>((2 * static_cast<uint64_t>(sum[k]) + n) / (2 * n));
      if (bpp == 4)
        out[3] = l.alpha;
    }
  }
}

// The source pixels (offsets along a row, or rows) that each cell column
// (or row) averages, with how often each one counts. A factor above the
// source size wraps round it whole several times: each pixel is counted once
// per whole wrap plus once more if it is in the part left over, so the work
// stays with the source's size whatever the factor.
struct Taps {
  std::vector<int64_t> at;
  std::vector<uint64_t> weight;
  std::vector<size_t> start; // per cell column (row), into at and weight
};

Taps axis_taps(int cells, int crop, int reduce, int size, int mirror) {
  Taps t;
  t.start.push_back(0);
  for (int c = 0; c < cells; c++) {
    const int64_t base = (static_cast<int64_t>(crop) + c) * reduce;
    if (reduce <= size) {
      for (int k = 0; k < reduce; k++) {
        t.at.push_back(wrap(base + k, size, mirror));
        t.weight.push_back(1);
      }
    } else {
      const size_t first = t.at.size();
      for (int i = 0; i < size; i++) {
        t.at.push_back(i);
        t.weight.push_back(static_cast<uint64_t>(reduce / size));
      }
      for (int k = 0; k < reduce % size; k++)
        t.weight[first + static_cast<size_t>(wrap(base + k, size, mirror))]++;
    }
    t.start.push_back(t.at.size());
  }
  return t;
}

// Middle copy with a reduction larger than the source on some axis; the same
// rounded means as fill_cell_reduced, summed through the taps.
void fill_cell_folded(const VYbitmap *source, const TextureLayout &l, VYbitmap *output) {
  const int bpp = output->bytes_per_pixel();
  const size_t out_row = static_cast<size_t>(l.out_width) * bpp;
  const size_t src_row = static_cast<size_t>(source->width()) * 4;
  const Taps xs = axis_taps(l.cell_width, l.crop_x, l.reduce_x, source->width(), l.mirror_x);
  const Taps ys = axis_taps(l.cell_height, l.crop_y, l.reduce_y, source->height(), l.mirror_y);
  const unsigned __int128 n =
      static_cast<unsigned __int128>(l.reduce_x) * static_cast<unsigned __int128>(l.reduce_y);
  for (int r = 0; r < l.cell_height; r++) {
    unsigned char *out = output->data() + (l.cell_y + r) * out_row + static_cast<size_t>(l.cell_x) * bpp;
    for (int c = 0; c < l.cell_width; c++, out += bpp) {
      unsigned __int128 sum[3] = {0, 0, 0};
      for (size_t j = ys.start[r]; j < ys.start[r + 1]; j++) {
        const unsigned char *line = source->data() + ys.at[j] * src_row;
        uint64_t row_sum[3] = {0, 0, 0}; // at most 255 x 2^30 x 2
        for (size_t i = xs.start[c]; i < xs.start[c + 1]; i++)
          for (int k = 0; k < 3; k++)
            row_sum[k] += xs.weight[i] * line[xs.at[i] * 4 + k];
        for (int k = 0; k < 3; k++)
          sum[k] += static_cast<unsigned __int128>(row_sum[k]) * ys.weight[j];
      }
      for (int k = 0; k < 3; k++)
        out[k] = static_cast<unsigned char>((2 * sum[k] + n) / (2 * n));
      if (bpp == 4)
        out[3] = l.alpha;
    }
  }
}

// Repeats the middle copy across the rest of the output. Within a row the
// part right of the cell is periodic, so it is filled by copying ever longer
// runs; the left part equals a run of whole periods further right. Rows above
// and below are copies of cell rows.
void fill_repetitions(const TextureLayout &l, VYbitmap *output) {
  const size_t bpp = output->bytes_per_pixel();
  const size_t out_row = static_cast<size_t>(l.out_width) * bpp;
  unsigned char *data = output->data();
  for (int r = 0; r < l.cell_height; r++) {
    unsigned char *row = data + (l.cell_y + r) * out_row;
    unsigned char *start = row + l.cell_x * bpp;
    size_t filled = l.cell_width;
    size_t span = l.out_width - l.cell_x;
    while (filled < span) {
      size_t run = filled < span - filled ? filled : span - filled;
      memcpy(start + filled * bpp, start, run * bpp);
      filled += run;
    }
    if (l.cell_x > 0) {
      size_t periods = (l.cell_x + l.cell_width - 1) / l.cell_width;
      memcpy(row, row + periods * l.cell_width * bpp, l.cell_x * bpp);
    }
  }
  for (int y = 0; y < l.out_height; y++) {
    if (y >= l.cell_y && y < l.cell_y + l.cell_height)
      continue;
    int offset = (y - l.cell_y) % l.cell_height;
    if (offset < 0)
      offset += l.cell_height;
    memcpy(data + y * out_row, data + (l.cell_y + offset) * out_row, out_row);
  }
}

// The Targa file is written under a temporary name of the module's own
// and staged: it goes into place with the scene file that refers to it,
// replacing whatever stands at its name (a symbolic link is not followed),
// and a scene write that fails leaves the earlier file there.
int write_targa(PovSession &session, TextureRecord *record, const TextureLayout &l, const VYbitmap *output) {
  VYimageWriterFactory *factory = still_writer_get_factory("Truevision Targa");
  if (!factory)
    return 0;
  record->derive_file_name();
  if (!record->file_name)
    return 0;
  PovFileOut file;
  if (!pov_file_open_derived(&file, record->file_name) || !pov_file_close(&file) || !file.temp) {
    pov_file_report(&session.check, record->file_name, std::strerror(errno ? errno : EIO));
    pov_file_discard(&file);
    return 0;
  }
  VYimageWriterInfo info = {file.temp, l.out_width, l.out_height, l.depth, 300, 0, 0, 15, 2};
  VYimageWriter *writer = factory->create_writer(info);
  int wrote = writer && writer->write(output) == 0;
  int closed = writer && writer->close() == 0;
  delete writer;
  // A texture that cannot be written fails the scene write: the scene
  // that refers to it is not put in place.
  if (!wrote || !closed) {
    pov_file_report(&session.check, record->file_name, "error writing the file");
    pov_file_discard(&file);
    return 0;
  }
  if (!pov_file_stage(&session.module->files, &file, nullptr)) {
    pov_file_report(&session.check, record->file_name, std::strerror(errno ? errno : EIO));
    return 0;
  }
  return 1;
}

} // namespace

int texture_layout(const TextureRecord *record, int width, int height, TextureLayout *l) {
  if (width <= 0 || height <= 0)
    return 0;
  *l = TextureLayout();
  l->out_width = width;
  l->out_height = height;
  l->reduce_x = 1;
  l->reduce_y = 1;
  l->depth = 24;
  if (!record->scene_root && record->method != 0) {
    // In double: twice the largest float is still a finite cover.
    if (!resample_axis(width, 2.0 * std::fabs(double(record->scale.x)), &l->reduce_x, &l->out_width))
      return 0;
    if (record->method == 2 &&
        !resample_axis(height, std::fabs(double(record->scale.y)), &l->reduce_y, &l->out_height))
      return 0;
  }
  if (record->opacity != 1.0f) {
    l->depth = 32;
    double a = 255.0 * record->opacity * record->opacity + 0.5;
    int alpha = std::isfinite(a) && fabs(a) < 2147483647.0 ? static_cast<int>(a) & 0xff : 0;
    l->alpha = static_cast<unsigned char>(alpha == 0 ? 1 : alpha);
  }
  l->cell_height = static_cast<int>(
      std::min(ceil(static_cast<double>(height) / l->reduce_y), static_cast<double>(l->out_height)));
  l->cell_width = static_cast<int>(
      std::min(ceil(static_cast<double>(width) / l->reduce_x), static_cast<double>(l->out_width)));
  l->cell_x = (l->out_width - l->cell_width) / 2;
  l->cell_y = (l->out_height - l->cell_height) / 2;
  l->crop_x = std::max(0, (width - l->cell_width * l->reduce_x) / 2);
  l->crop_y = std::max(0, (height - l->cell_height * l->reduce_y) / 2);
  l->mirror_x = !(record->scale.x >= 0);
  l->mirror_y = !(record->scale.y >= 0);
  return 1;
}

void texture_fill(const VYbitmap *source, const TextureLayout &l, VYbitmap *output) {
  if (l.reduce_x > source->width() || l.reduce_y > source->height()) {
    fill_cell_folded(source, l, output);
    fill_repetitions(l, output);
    return;
  }
  // Byte offsets of the source columns that each output column reads.
  std::vector<int32_t> columns(static_cast<size_t>(l.cell_width) * l.reduce_x);
  size_t i = 0;
  for (int c = 0; c < l.cell_width; c++)
    for (int k = 0; k < l.reduce_x; k++)
      columns[i++] = static_cast<int32_t>(
          wrap((static_cast<int64_t>(l.crop_x) + c) * l.reduce_x + k, source->width(), l.mirror_x) * 4);
  if (l.reduce_x == 1 && l.reduce_y == 1)
    fill_cell_copy(source, l, columns, output);
  else if (static_cast<uint64_t>(l.reduce_x) * l.reduce_y <= 0xffffffffu / 255)
    fill_cell_reduced<uint32_t>(source, l, columns, output);
  else
    fill_cell_reduced<uint64_t>(source, l, columns, output);
  fill_repetitions(l, output);
}

int TextureRecord::convert_to_targa(PovSession &session) {
  if (!texture_name)
    return 0;
  VYbitmap *source = image_promote_to_32(image_reader_invoke(texture_name));
  if (!source)
    return 0;
  int result = 0;
  if (source->data() && source->bytes_per_pixel() == 4 && source->width() > 0 && source->height() > 0) {
    width = source->width();
    height = source->height();
    TextureLayout layout;
    if (texture_layout(this, width, height, &layout)) {
      VYbitmap *output =
          new (std::nothrow) VYbitmap(layout.out_width, layout.out_height, layout.depth, nullptr);
      if (output && output->data() && output->width() == layout.out_width) {
        texture_fill(source, layout, output);
        result = write_targa(session, this, layout, output);
      }
      delete output;
    }
  }
  delete source;
  return result;
}
