// The resources built into zorvikqm-setup.exe, read from the file as Windows
// reads them: one icon group of 16, 32 and 48 pixel images in 32 bits with
// alpha, the version record with the project's version, and the manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The program sits two folders above this test in the build tree.
std::wstring program_path() {
  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring path = self;
  for (int up = 0; up < 3; ++up) path = path.substr(0, path.find_last_of(L"\\/"));
  return path + L"\\zorvikqm-setup.exe";
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes;
  WORD id;
};
struct GroupIconHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

class ProgramResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = LoadLibraryExW(program_path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << "cannot load " << GetLastError();
  }
  void TearDown() override {
    if (module != nullptr) FreeLibrary(module);
  }
  // The resource's bytes, or an empty view.
  std::string_view resource(LPCWSTR type, LPCWSTR name) const {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) return {};
    HGLOBAL loaded = LoadResource(module, found);
    return {static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found)};
  }
  HMODULE module = nullptr;
};

BOOL CALLBACK count_name(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

TEST_F(ProgramResources, OneIconGroupOfThreeSizesWithAlpha) {
  int groups = 0;
  EnumResourceNamesW(module, MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, count_name, reinterpret_cast<LONG_PTR>(&groups));
  ASSERT_EQ(groups, 1);

  const std::string_view group = resource(MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(1));
  ASSERT_GE(group.size(), sizeof(GroupIconHeader));
  GroupIconHeader header{};
  std::memcpy(&header, group.data(), sizeof header);
  EXPECT_EQ(header.type, 1);
  ASSERT_EQ(header.count, 3);
  ASSERT_EQ(group.size(), sizeof header + 3 * sizeof(GroupIconEntry));

  const int sizes[] = {16, 32, 48};
  for (int i = 0; i < 3; ++i) {
    GroupIconEntry entry{};
    std::memcpy(&entry, group.data() + sizeof header + i * sizeof entry, sizeof entry);
    EXPECT_EQ(entry.width, sizes[i]);
    EXPECT_EQ(entry.height, sizes[i]);
    EXPECT_EQ(entry.bit_count, 32);

    // The image itself: a 32-bit bitmap whose alpha is neither all clear
    // nor all opaque (the art has a transparent surround).
    const std::string_view image = resource(MAKEINTRESOURCEW(3) /* RT_ICON */, MAKEINTRESOURCEW(entry.id));
    ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER)) << sizes[i];
    BITMAPINFOHEADER bitmap{};
    std::memcpy(&bitmap, image.data(), sizeof bitmap);
    EXPECT_EQ(bitmap.biWidth, sizes[i]);
    EXPECT_EQ(bitmap.biHeight, 2 * sizes[i]);  // the colour rows, then the mask's
    EXPECT_EQ(bitmap.biBitCount, 32);
    const std::size_t pixels = static_cast<std::size_t>(sizes[i]) * sizes[i];
    ASSERT_GE(image.size(), sizeof bitmap + 4 * pixels);
    int clear = 0;
    int opaque = 0;
    for (std::size_t p = 0; p < pixels; ++p) {
      const auto alpha = static_cast<unsigned char>(image[sizeof bitmap + 4 * p + 3]);
      clear += alpha == 0;
      opaque += alpha == 255;
    }
    EXPECT_GT(clear, 0) << sizes[i];
    EXPECT_GT(opaque, 0) << sizes[i];
  }
}

std::wstring version_text(const std::vector<char>& info, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0) return {};
  return static_cast<const wchar_t*>(value);
}

TEST_F(ProgramResources, VersionRecordCarriesTheProjectVersion) {
  const std::wstring path = program_path();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info.data()));

  EXPECT_EQ(version_text(info, L"ProductVersion"), L"" ZQ_VERSION);
  EXPECT_EQ(version_text(info, L"FileVersion"), L"" ZQ_VERSION);
  EXPECT_EQ(version_text(info, L"ProductName"), L"Zorvik Quelta Marundo Setup");
  EXPECT_FALSE(version_text(info, L"FileDescription").empty());

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(ZQ_VERSION_MAJOR << 16 | ZQ_VERSION_MINOR));
  EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(ZQ_VERSION_PATCH << 16));
}

// The application manifest Windows reads at start: the user's own rights,
// and Windows 10 and 11 among the systems it was made for.
TEST_F(ProgramResources, ManifestAsksForNoElevationAndNamesWindows10) {
  const std::string_view manifest = resource(MAKEINTRESOURCEW(24) /* RT_MANIFEST */, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(manifest.empty());
  for (const char* part : {R"(<requestedExecutionLevel level="asInvoker")",
                           R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)",
                           R"(>true</longPathAware>)"}) {
    EXPECT_NE(manifest.find(part), std::string_view::npos) << part;
  }
}

}  // namespace
