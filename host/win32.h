// Stand-ins for the few Windows calls the module makes: the registry (read
// from a .reg file), starting a program and waiting for it, deleting a file.
#pragma once

#include <cstdint>

typedef long LONG;
typedef uint32_t DWORD;
typedef DWORD *LPDWORD;
typedef unsigned char BYTE;
typedef BYTE *LPBYTE;
typedef const char *LPCSTR;
typedef DWORD REGSAM;
struct HKEY__;
typedef HKEY__ *HKEY;
typedef HKEY *PHKEY;

#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#define KEY_READ 0x20019u
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_MORE_DATA 234L
#define REG_SZ 1u

// The registry file is $BRIGHTFOLD_REGISTRY when set, else build/etc/registry.reg
// beside the program (found through /proc/self/exe: <bin>/../etc/registry.reg).
LONG RegOpenKeyExA(HKEY root, LPCSTR subkey, DWORD options, REGSAM access, PHKEY result);
// Copies a string value with its NUL into data (at most *size bytes); *size
// becomes the bytes needed. ERROR_MORE_DATA when it does not fit.
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegCloseKey(HKEY key);

#define _P_WAIT 0
// Starts the program (a Windows path has its backslashes turned into '/'),
// with the argument list ending in a null, without a shell; with _P_WAIT waits
// and answers its exit status, -1 when it could not be started.
intptr_t _spawnl(int mode, const char *path, const char *arg0, ...);
int _unlink(const char *path);
