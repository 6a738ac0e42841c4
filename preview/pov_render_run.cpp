// The render run behind bitmap(): POV-Ray for Windows renders the scene that
// the last draw wrote, and its Targa image becomes the surface's picture.
#include "preview/pov_preview_surface.h"

#include "win32.h"

#include <cstdio>
#include <cstring>
#include <new>

static const char *const pov_keys[] = {"Software\\POV-Ray\\CurrentVersion\\Windows",
                                       "Software\\POV-Ray\\Windows"};
static const char pvengine_suffix[] = "\\bin\\pvengine.exe";
enum { home_size = 1000 };

int pov_write_preview_ini(const char *path, const VYbitmapInfo &size, int antialias, int language) {
  FILE *file = fopen(path, "w");
  if (!file)
    return 0;
  char scene_name[ZAL_NAME_SIZE];
  char image_name[ZAL_NAME_SIZE];
  zal_narrow(scene_name, pov_preview_scene_file);
  zal_narrow(image_name, pov_preview_image_file);
  fprintf(file, "Width = %d\n", size.width);
  fprintf(file, "Height = %d\n", size.height);
  if (antialias) {
    fprintf(file, "Antialias = yes\n");
    fprintf(file, "Antialias_Threshold = 0.3\n");
  } else {
    fprintf(file, "Antialias = no\n");
  }
  fprintf(file, "Jitter = no\n");
  fprintf(file, "Input_File_Name = %s\n", scene_name);
  fprintf(file, "Output_File_Name = %s\n", image_name);
  fprintf(file, "Output_File_Type = T\n");
  if (language == kPovLanguage37)
    fprintf(file, "Version = 3.7\n");
  return fclose(file) == 0;
}

// The "Home" value of the first POV-Ray key that exists, into home; 0 when
// that key has no usable string value. Only the first key that opens is
// asked, as POV-Ray for Windows keeps its settings under one of them.
static int read_home(char *home) {
  home[0] = '\0';
  for (const char *subkey : pov_keys) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
      continue;
    DWORD type = 0;
    DWORD size = home_size;
    LONG result = RegQueryValueExA(key, "Home", nullptr, &type, reinterpret_cast<LPBYTE>(home), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ || size == 0 || size > home_size) {
      home[0] = '\0';
      return 0;
    }
    // A value stored without its NUL is terminated here, if there is room.
    if (home[size - 1] != '\0') {
      if (size == home_size) {
        home[0] = '\0';
        return 0;
      }
      home[size] = '\0';
    }
    return home[0] != '\0';
  }
  return 0;
}

int pov_find_pvengine(char *out, int out_size) {
  char home[home_size];
  out[0] = '\0';
  // Without a Home the program would be "\bin\pvengine.exe" from the root
  // of the drive, where anyone could have put a program of that name.
  if (!read_home(home))
    return 0;
  size_t length = strlen(home);
  if (out_size <= 0 || length + sizeof pvengine_suffix > static_cast<size_t>(out_size))
    return 0;
  memcpy(out, home, length);
  memcpy(out + length, pvengine_suffix, sizeof pvengine_suffix);
  return 1;
}

int pov_copy_render(const VYbitmap *image, VYbitmap *picture) {
  if (!image || !picture || !image->data() || !picture->data())
    return 0;
  if (image->width() != picture->width() || image->height() != picture->height())
    return 0;
  size_t from = static_cast<size_t>(image->bytes_per_pixel());
  size_t to = static_cast<size_t>(picture->bytes_per_pixel());
  if (from == 0 || to == 0)
    return 0;
  // The first three bytes (red, green, blue) of every image pixel, as many of
  // them as each picture pixel holds; a fourth (alpha) byte is not taken.
  size_t channels = from < to ? from : to;
  if (channels > 3)
    channels = 3;
  size_t pixels = image->data_size() / from;
  if (picture->data_size() / to < pixels)
    pixels = picture->data_size() / to;
  const unsigned char *source = image->data();
  unsigned char *target = picture->data();
  for (size_t i = 0; i < pixels; ++i, source += from, target += to)
    memcpy(target, source, channels);
  return 1;
}

const VYbitmap *PovPreviewSurface::bitmap() {
  if (picture)
    return picture;
  pov_write_preview_ini(pov_preview_ini_file, size(), antialias, language);
  char program[home_size + sizeof pvengine_suffix];
  VYbitmap *image = nullptr;
  if (pov_find_pvengine(program, sizeof program)) {
    char ini_name[ZAL_NAME_SIZE];
    zal_narrow(ini_name, pov_preview_ini_file);
    // An image left over from an earlier run must never pass for this one.
    _unlink(pov_preview_image_file);
    _spawnl(_P_WAIT, program, program, ini_name, "/EXIT", static_cast<char *>(nullptr));
    image = image_reader_invoke(pov_preview_image_file);
  }
  picture = new (std::nothrow) VYbitmap(size(), nullptr);
  if (picture && !picture->data() && size().width > 0 && size().height > 0) {
    delete picture; // the pixel memory could not be had
    picture = nullptr;
  }
  if (image) {
    pov_copy_render(image, picture);
    delete image;
  }
  _unlink(pov_preview_scene_file);
  _unlink(pov_preview_ini_file);
  _unlink(pov_preview_image_file);
  return picture;
}
