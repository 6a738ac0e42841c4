// zalvy: the host's graphics library as the module sees it: bitmaps, image
// readers and writers, polygon mesh access and display surfaces.
#pragma once

#include "zalbase.h"

#include <cstdint>

// ---------------------------------------------------------------- bitmaps
struct VYbitmapInfo {
  int width;
  int height;
  int depth;             // bits per pixel
  short bytes_per_pixel; // (depth - 1) / 8 + 1
  short pixels_per_byte; // 8 / depth, 1 for depth 0
  int status;
};

// Fills bytes_per_pixel, pixels_per_byte and status from width/height/depth.
VYbitmapInfo vy_bitmap_info(int width, int height, int depth);

struct VYpalette; // no surface of this module has one

// Pixels are stored row after row (top row first) with no gap between rows:
// pixel (x, y) starts at byte (y * width + x) * bytes_per_pixel. Colour
// channels are red, green, blue, then alpha when there are four bytes.
// A new bitmap's pixels are all zero. When the pixel memory cannot be
// allocated, data() is null and the size is 0 x 0.
class VYbitmap {
public:
  VYbitmap(int width, int height, int depth, const VYpalette *palette);
  VYbitmap(const VYbitmapInfo &info, const VYpalette *palette);
  ~VYbitmap();
  VYbitmap(const VYbitmap &) = delete;
  VYbitmap &operator=(const VYbitmap &) = delete;

  const VYbitmapInfo &info() const { return info_; }
  int width() const { return info_.width; }
  int height() const { return info_.height; }
  int depth() const { return info_.depth; }
  int bytes_per_pixel() const { return info_.bytes_per_pixel; }
  unsigned char *data() { return data_; }
  const unsigned char *data() const { return data_; }
  size_t data_size() const; // width * height * bytes_per_pixel

private:
  VYbitmapInfo info_;
  unsigned char *data_ = nullptr;
};

// Reads PNG, JPEG, BMP, GIF or Targa; a new bitmap the caller owns, or null.
VYbitmap *image_reader_invoke(const char *path);
// Answers a 32-bit (4 bytes per pixel, RGBA) bitmap: the argument itself when
// it already is one, else a new one (the argument is then destroyed). Null for null.
VYbitmap *image_promote_to_32(VYbitmap *bitmap);

struct VYimageWriterInfo {
  const char *file_name;
  int width;
  int height;
  int depth;
  int resolution; // 300
  int reserved1;  // 0
  int reserved2;  // 0
  int quality;    // 15
  int flags;      // 2
};

class VYimageWriter {
public:
  virtual ~VYimageWriter() = default;
  virtual int write(const VYbitmap *bitmap) = 0; // 0 on success
  virtual int close() = 0;                       // 0 on success
};

class VYimageWriterFactory {
public:
  virtual ~VYimageWriterFactory() = default;
  virtual const char *name() const = 0;
  virtual VYimageWriter *create_writer(const VYimageWriterInfo &info) = 0; // null on failure
};

// "Truevision Targa" is the one still writer; null for any other name.
VYimageWriterFactory *still_writer_get_factory(const char *name);

// ---------------------------------------------------------------- meshes
typedef int VYframe; // 0: the geometry's own frame

struct VYobject; // a polygon mesh (or the bounds of a parametric shape)
struct VYvertex; // one corner of a polygon

// Cursor over a mesh's polygons.
struct VYpolygon {
  VYobject *mesh;
  long index; // -1 before the first polygon
};

void VYpolygon_initpoly(VYpolygon &cursor, VYobject *mesh);
// Advances from `from` into `to` (may be the same cursor); 0 when there is none.
unsigned char VYpolygon_nextpoly(const VYpolygon &from, VYpolygon &to);
int VYpolygon_nvertices(const VYpolygon &polygon);
VYvertex *VYpolygon_getvertex(const VYpolygon &polygon, int index);
void VYpolygon_getcolor(const VYpolygon &polygon, float &r, float &g, float &b);
void VYvertex_getposition(VYvertex *vertex, float out[3], VYframe frame);
// Non-zero (and out filled) when the corner has a normal.
unsigned char VYvertex_getnormal(VYvertex *vertex, float out[3], VYframe frame);
// Non-zero (and out filled with u, v) when the corner has texture coordinates.
unsigned char VYvertex_getuv(VYvertex *vertex, float out[2]);
// Non-zero (and r, g, b filled, 0..1) when the corner has a colour of its own
// (which then stands for the polygon's colour at that corner).
unsigned char VYvertex_getcolor(VYvertex *vertex, float &r, float &g, float &b);
// Reading a whole mesh without a call per corner: the polygon's corners at
// once, as indices into the mesh's position and normal arrays.
struct VYcorner {
  int32_t position; // into VYobject_getpositions (not checked against its count)
  int32_t normal;   // into VYobject_getnormals; -1: the corner has none
  unsigned char has_uv, has_colour;
  float uv[2];     // u, v when has_uv
  float colour[3]; // r, g, b (0..1) when has_colour: the corner's own colour
};
// Fills the first `room` corners of the polygon into out; answers its corner
// count (as VYpolygon_nvertices, 0 for no polygon), which may exceed room.
int VYpolygon_getcorners(const VYpolygon &polygon, VYcorner *out, int room);
// The mesh's positions (normals) in the given frame, x, y, z after each
// other, and their count; null and 0 for a null mesh. They stay valid until
// the mesh is changed.
const float *VYobject_getpositions(VYobject *mesh, long &count, VYframe frame);
const float *VYobject_getnormals(VYobject *mesh, long &count, VYframe frame);
// Pivot in the geometry's own frame; zeros for a null mesh.
void VYobject_getpivot(VYobject *mesh, float out[3], VYframe frame);
// out[0..2]: sizes along the geometry's own x, y, z; out[3..5]: the centre of
// its bounding box in its own frame. Zeros for a null mesh.
void VYobject_getextents(VYobject *mesh, float out[6]);

// ---------------------------------------------------------------- surfaces
class VYuniverseDisplaySurface;

// Host objects that watch a surface; the second operation is the notification.
class VYsurfaceObserver {
public:
  virtual ~VYsurfaceObserver() = default;
  virtual void surface_drawn(VYuniverseDisplaySurface *surface) = 0;
};

// The host's surface options record; the preview reads its first two ints.
struct VYsurfaceOptions {
  int shadows;   // non-zero: shadows on
  int antialias; // non-zero: anti-aliasing on
};

class VYdisplaySurface {
public:
  virtual ~VYdisplaySurface() = default;
  virtual int width() const { return info.width; }
  virtual int height() const { return info.height; }
  virtual int depth() const { return info.depth; }
  virtual const VYbitmapInfo &size() const { return info; }
  virtual int has_bitmap() = 0;
  virtual const VYbitmap *bitmap() = 0;
  virtual void release_bitmap() = 0;
  virtual int has_palette() = 0;
  virtual const VYpalette *palette() = 0;
  virtual void release_palette() = 0;
  virtual void resize(const VYbitmapInfo &info) = 0;
  virtual void resize(int width, int height, int depth) = 0;
  virtual void begin_draw() = 0;
  virtual void end_draw() = 0;

protected:
  VYbitmapInfo info{};
};

class VYuniverseDisplaySurface : public VYdisplaySurface {
public:
  ~VYuniverseDisplaySurface() override = default;
  virtual void refresh() {}
  virtual void repaint() {}
  virtual void redraw() {}
  virtual void draw() {}

  // Host side: observers are registered by the host, never owned.
  void add_observer(VYsurfaceObserver *observer) { observers.add(observer); }

protected:
  LIST observers; // of VYsurfaceObserver *
  void *context = nullptr;
};

class VYuniverseDisplaySurfaceFactory {
public:
  virtual ~VYuniverseDisplaySurfaceFactory() = default;
  virtual const char *name() = 0;
  virtual const char *extname() = 0;
  virtual int surface_code() = 0;
  virtual int priority() = 0;
  virtual const char *version() = 0;
  virtual VYuniverseDisplaySurface *create_surface(void *context, const VYbitmapInfo &info,
                                                   const VYsurfaceOptions *options) = 0;
  virtual VYuniverseDisplaySurface *create_surface(void *context, int width, int height, int depth,
                                                   const VYsurfaceOptions *options) = 0;
};

class VYuniverseDisplaySurfaceFactoryImp : public VYuniverseDisplaySurfaceFactory {
public:
  VYuniverseDisplaySurfaceFactoryImp() = default;
  ~VYuniverseDisplaySurfaceFactoryImp() override = default;
  const char *extname() override; // the name
  int priority() override;        // 0
  const char *version() override; // "1.0"
};

int universe_display_surface_register(VYuniverseDisplaySurfaceFactory *factory);
int universe_display_surface_unregister(VYuniverseDisplaySurfaceFactory *factory);
// Host side: registered factories, in registration order.
int universe_display_surface_count();
VYuniverseDisplaySurfaceFactory *universe_display_surface_get(int position); // 1-based
VYuniverseDisplaySurfaceFactory *universe_display_surface_find(const char *name);
