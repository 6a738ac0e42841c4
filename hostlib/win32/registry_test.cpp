#include "registry_file.h"
#include "win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

// A registry file of the test's own, named by BRIGHTFOLD_REGISTRY while the
// test runs.
class RegistryTest : public ::testing::Test {
protected:
  void SetUp() override {
    char dir[] = "/tmp/bf_registry_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    path_ = dir_ + "/registry.reg";
    const char *old = std::getenv("BRIGHTFOLD_REGISTRY");
    had_old_ = old != nullptr;
    if (old)
      old_ = old;
    setenv("BRIGHTFOLD_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override {
    unlink(path_.c_str());
    rmdir(dir_.c_str());
    if (had_old_)
      setenv("BRIGHTFOLD_REGISTRY", old_.c_str(), 1);
    else
      unsetenv("BRIGHTFOLD_REGISTRY");
  }
  void write(const std::string &text) { std::ofstream(path_, std::ios::binary) << text; }

  std::string dir_, path_, old_;
  bool had_old_ = false;
};

const char *const pov_key = "Software\\POV-Ray\\CurrentVersion\\Windows";

std::string query_string(HKEY key, const char *name, LONG *answer = nullptr) {
  char buffer[1000] = "";
  DWORD size = sizeof buffer;
  DWORD type = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
  if (answer)
    *answer = result;
  return result == ERROR_SUCCESS ? std::string(buffer) : std::string();
}

TEST_F(RegistryTest, ReadsTheHomeValueOfTheWindowsExportFormat) {
  write("Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\CurrentVersion\\Windows]\r\n"
        "\"Home\"=\"C:\\\\Program Files\\\\POV-Ray for Windows v3.0\"\r\n"
        "\"Quote\"=\"say \\\"hi\\\" \\\\ \\n\"\r\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, pov_key, 0, KEY_READ, &key), ERROR_SUCCESS);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(query_string(key, "Home"), "C:\\Program Files\\POV-Ray for Windows v3.0");
  EXPECT_EQ(query_string(key, "HOME"), "C:\\Program Files\\POV-Ray for Windows v3.0"); // names ignore case
  EXPECT_EQ(query_string(key, "Quote"), "say \"hi\" \\ \\n"); // an unknown escape stands for itself
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, MissingKeysValuesAndFilesAnswerFileNotFound) {
  HKEY key = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, pov_key, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND); // no file
  EXPECT_EQ(key, nullptr);

  write("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\POV-Ray\\Windows]\n");
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, pov_key, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\POV-Ray\\Windows", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  LONG answer = 0;
  query_string(key, "Home", &answer);
  EXPECT_EQ(answer, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_NE(RegCloseKey(key), ERROR_SUCCESS); // closed twice
}

TEST_F(RegistryTest, ParentKeysExistAndPathsIgnoreCaseAndShortRootNames) {
  write("REGEDIT4\n[HKLM\\SOFTWARE\\pov-ray\\CurrentVersion\\Windows]\n\"Home\"=\"/opt/pov\"\n");
  HKEY parent = nullptr, child = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\POV-Ray", 0, KEY_READ, &parent), ERROR_SUCCESS);
  ASSERT_EQ(RegOpenKeyExA(parent, "CurrentVersion\\Windows", 0, KEY_READ, &child), ERROR_SUCCESS);
  EXPECT_EQ(query_string(child, "Home"), "/opt/pov");
  EXPECT_EQ(RegCloseKey(child), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(parent), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\POV", 0, KEY_READ, &child), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, StringSizesTooSmallBuffersAndSkippedValues) {
  write("Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Test]\n"
        "\"Home\"=\"abcdef\"\n"
        "\"Count\"=dword:0000010a\n"
        "\"Blob\"=hex:01,02,\\\n  03\n"
        "\"Path\"=hex(2):41,00\n"
        "@=\"default\"\n"
        "\"Broken\"=\"no end\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Test", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "Home", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 7u); // with its NUL
  char small[4] = "xyz";
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Home", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_STREQ(small, "xyz"); // untouched

  // Values other than strings are not read (a continued hex value with
  // all its lines); the strings around them are.
  unsigned char bytes[8] = {};
  for (const char *name : {"Count", "Blob", "Path"}) {
    size = sizeof bytes;
    EXPECT_EQ(RegQueryValueExA(key, name, nullptr, &type, bytes, &size), ERROR_FILE_NOT_FOUND) << name;
  }
  EXPECT_EQ(query_string(key, ""), "default");
  EXPECT_EQ(query_string(key, nullptr), "default");
  LONG answer = 0;
  query_string(key, "Broken", &answer);
  EXPECT_EQ(answer, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, DeletionsAndUtf16Files) {
  write("Windows Registry Editor Version 5.00\n"
        "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n\"X\"=\"1\"\n\"Y\"=\"2\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\A\\B]\n\"Y\"=-\n"
        "[HKEY_LOCAL_MACHINE\\Software\\C\\D]\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\C]\n");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\A\\B", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(query_string(key, "X"), "1");
  LONG answer = 0;
  query_string(key, "Y", &answer);
  EXPECT_EQ(answer, ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\C\\D", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);

  std::string text = "Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\Software\\U]\r\n"
                     "\"Home\"=\"caf\xC3\xA9\"\r\n";
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned code = static_cast<unsigned char>(text[i]);
    if (code == 0xC3) { // the one two-byte character of the text
      code = 0xE9;
      ++i;
    }
    utf16 += static_cast<char>(code);
    utf16 += '\0';
  }
  write(utf16);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\U", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(query_string(key, "Home"), "caf\xC3\xA9");
  RegCloseKey(key);
}

TEST_F(RegistryTest, ChangesToTheFileAreSeenByTheNextOpen) {
  write("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\K]\n\"Home\"=\"one\"\n");
  HKEY first = nullptr, second = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\K", 0, KEY_READ, &first), ERROR_SUCCESS);
  write("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\K]\n\"Home\"=\"two\"\n");
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\K", 0, KEY_READ, &second), ERROR_SUCCESS);
  EXPECT_EQ(query_string(first, "Home"), "one");
  EXPECT_EQ(query_string(second, "Home"), "two");
  RegCloseKey(first);
  RegCloseKey(second);
}

TEST_F(RegistryTest, BadArgumentsAreRefused) {
  write("Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\K]\n");
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\K", 0, KEY_READ, nullptr), ERROR_SUCCESS);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x1234)), "K", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_NE(RegQueryValueExA(nullptr, "Home", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST(RegistryPath, DefaultsToTheEtcFolderBesideTheProgramsFolder) {
  const char *old = std::getenv("BRIGHTFOLD_REGISTRY");
  std::string saved = old ? old : "";
  unsetenv("BRIGHTFOLD_REGISTRY");
  std::string path = win32::registry_file_path();
  if (old)
    setenv("BRIGHTFOLD_REGISTRY", saved.c_str(), 1);
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  ASSERT_GT(n, 0);
  std::string dir(exe, static_cast<size_t>(n));
  dir.erase(dir.rfind('/') + 1);
  EXPECT_EQ(path, dir + "../etc/registry.reg");
}

} // namespace
