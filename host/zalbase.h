// zalbase: the host's base library as the module sees it: value types,
// containers, text and path helpers, vector maths and user messages.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

struct ZAL_VECT2 {
  float x, y;
};

struct ZAL_VECT3 {
  float x, y, z;
  float mag() const;
};

// Rotation quaternion, scalar part last. Its usual matrix M(q) is the
// transpose of the node's rotation R (rows of M are R's columns).
struct ZAL_QUAT {
  float x, y, z, w;
  // R * v: the vector v of the node's own frame turned into the scene.
  ZAL_VECT3 xform(const ZAL_VECT3 &v) const;
};

// A red component of exactly -1 means "no colour of its own".
struct ZAL_COLOR {
  float r, g, b;
};

// ---------------------------------------------------------------- LIST
// Ordered list of pointers; positions count from 1.
typedef int (*LIST_COMPARE)(const void *a, const void *b);

class LIST {
public:
  LIST() = default;
  LIST(const LIST &) = delete;
  LIST &operator=(const LIST &) = delete;

  void *get(int position) const; // null outside 1..count()
  int add(void *item);           // appends; answers the new position
  int append(void *item);        // same as add
  int remove(int position);      // 1 when removed, 0 when out of range
  int count() const { return static_cast<int>(items_.size()); }
  // First position whose item cmp(item, element) finds equal (answer 0), else 0.
  int findcontents(const void *item, LIST_COMPARE cmp) const;
  void clear() { items_.clear(); }

private:
  std::vector<void *> items_;
  friend class LIST_ITER;
};

// Cursor over a LIST. first() or the first next() stands on the first item;
// both answer 0 when there is no (further) item.
class LIST_ITER {
public:
  explicit LIST_ITER(LIST *list) : list_(list) {}
  explicit LIST_ITER(LIST &list) : list_(&list) {}
  int first();
  int next();
  void *getdata() const;
  int remove(); // removes the current item; the next next() yields its successor

private:
  LIST *list_;
  int position_ = 0; // 1-based current position, 0 before the first
};

// Typed view used by the host for lists of a known element type.
template <class T> class List : public LIST {
public:
  T getitem(int position) const { return static_cast<T>(get(position)); }
};

// ---------------------------------------------------------------- ASSOC
// Table with text keys: insertion order, constant-time lookup by key.
typedef void (*ASSOC_RELEASE)(void *value);

class ASSOC {
public:
  ASSOC();
  ~ASSOC();
  ASSOC(const ASSOC &) = delete;
  ASSOC &operator=(const ASSOC &) = delete;

  // Adds key -> value, or replaces the value of an existing key; answers the position.
  int add(const char *key, void *value);
  int find(const char *key) const;        // position (1-based), 0 when absent
  void *getvalue(const char *key) const;  // null when absent
  void *getvalue(int position) const;     // null outside 1..count()
  const char *getkey(int position) const; // null outside 1..count()
  int count() const;
  // Calls release (when given) on every value, then empties the table.
  void clear(ASSOC_RELEASE release);

private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// ---------------------------------------------------------------- text
int zal_strlen(const char *s);
char *zal_strcpy(char *out, const char *in);
char *zal_strcat(char *out, const char *in);
int zal_stricmp(const char *a, const char *b); // ASCII case-insensitive, 0 = equal
// The size of the host's name and path buffers: at most 255 bytes of text
// and a terminating NUL.
constexpr int ZAL_NAME_SIZE = 256;
// Copies a host string into a ZAL_NAME_SIZE narrow buffer: at most 255 bytes and a
// terminating NUL (a multi-byte UTF-8 character is never cut in half).
char *zal_narrow(char *out, const char *in);

// ---------------------------------------------------------------- paths
// Paths use '/' (a '\\' is also taken as a separator). The extension of a file
// name is the text after its last '.', provided that text starts with an ASCII
// letter and holds only ASCII letters and digits ("png", "inc", "tga"); so
// "wood.png_ck   0.25" has no extension and a fractional number inside a
// name is never taken for one.
// All output buffers hold at least 256 bytes; results are cut at 255 bytes.

// The file name of a path, without its directory.
char *pathname_get_simple(const char *path, char *out);
// Splits a path into directory (with its trailing '/'), name without
// extension, and extension (without the dot). Each output may be null.
void split_path(const char *path, char *dir, char *name, char *ext);
// out := base with the parts that are given replaced: name (file name without
// extension), other (unused, kept for the host's signature) and ext. out may
// be the same buffer as base.
char *pathname_set(char *out, const char *base, const char *name, const char *other, const char *ext);
// out := in with ".ext" added. out may be the same buffer as in.
char *pathname_add_ext(char *out, const char *in, const char *ext);

// ---------------------------------------------------------------- messages
// Shows a status message to the user (the emulated host: one line on stderr).
void esd_send(const char *message);
// Host-side: where messages go (tests capture them). Null restores stderr.
typedef void (*ESD_SINK)(const char *message, void *user);
void esd_set_sink(ESD_SINK sink, void *user);
