// The setup's pictures and icon as the program meets them: found by name in the built
// QuorvelSetup.exe, decoded by the Windows Imaging Component to premultiplied BGRA, and the
// icon group answering every size the shell asks for with an image of its own.
#include <gtest/gtest.h>

#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/handles.h"

// QuorvelSetup.exe from the folder of this test program (both are built side by side).
static std::wstring SetupExecutable() {
  wchar_t buf[MAX_PATH] = {};
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring path(buf, n);
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"QuorvelSetup.exe";
}

// The executable mapped for its resources only; freed on scope exit.
struct ResourceModule {
  HMODULE module = nullptr;
  explicit ResourceModule(const std::wstring& path)
      : module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~ResourceModule() { if (module) FreeLibrary(module); }
  ResourceModule(const ResourceModule&) = delete;
  ResourceModule& operator=(const ResourceModule&) = delete;
};

static std::vector<BYTE> ResourceBytes(HMODULE m, const wchar_t* name, const wchar_t* type) {
  HRSRC r = FindResourceW(m, name, type);
  if (!r) return {};
  HGLOBAL g = LoadResource(m, r);
  const BYTE* p = g ? static_cast<const BYTE*>(LockResource(g)) : nullptr;
  return p ? std::vector<BYTE>(p, p + SizeofResource(m, r)) : std::vector<BYTE>{};
}

struct Decoded {
  UINT width = 0, height = 0;
  std::vector<BYTE> bgra;  // premultiplied, rows of width * 4 bytes
};

// Decodes like the window does at start-up; an empty result means any step failed.
static Decoded DecodeImage(IWICImagingFactory* wic, const std::vector<BYTE>& bytes) {
  Decoded out;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(wic->CreateStream(stream.put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))) ||
      FAILED(wic->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())) ||
      FAILED(decoder->GetFrame(0, frame.put())) || FAILED(wic->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeMedianCut)) ||
      FAILED(converter->GetSize(&out.width, &out.height)))
    return {};
  out.bgra.resize(size_t(out.width) * out.height * 4);
  if (FAILED(converter->CopyPixels(nullptr, out.width * 4, static_cast<UINT>(out.bgra.size()), out.bgra.data())))
    return {};
  return out;
}

static BYTE AlphaAt(const Decoded& d, UINT x, UINT y) { return d.bgra[(size_t(y) * d.width + x) * 4 + 3]; }

TEST(Resources, PicturesDecodeToTheSizesTheLayoutUses) {
  std::wstring exe = SetupExecutable();
  ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "QuorvelSetup.exe is not built";
  ResourceModule res(exe);
  ASSERT_NE(res.module, nullptr);
  HRESULT co = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ComPtr<IWICImagingFactory> wic;
  ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, wic.put_void())));
  struct Picture { const wchar_t* name; UINT width, height; bool cutOut; };
  const Picture pictures[] = {
      {L"BACKGROUND", 1600, 900, false}, {L"LOGO", 397, 420, true},   {L"UI_STONE", 350, 1080, false},
      {L"UI_BTN1", 175, 45, true},       {L"UI_BTN2", 175, 45, true}, {L"UI_BTN3", 175, 45, true},
  };
  for (const Picture& p : pictures) {
    SCOPED_TRACE(testing::Message() << "resource " << std::string(p.name, p.name + wcslen(p.name)));
    std::vector<BYTE> bytes = ResourceBytes(res.module, p.name, MAKEINTRESOURCEW(10));
    ASSERT_FALSE(bytes.empty());
    Decoded d = DecodeImage(wic.get(), bytes);
    ASSERT_EQ(d.width, p.width);
    ASSERT_EQ(d.height, p.height);
    BYTE lowest = 255;
    for (UINT y = 0; y < d.height; ++y)
      for (UINT x = 0; x < d.width; ++x) lowest = std::min(lowest, AlphaAt(d, x, y));
    if (p.cutOut) {
      // The shape is cut out of a transparent corner; its middle is solid.
      EXPECT_EQ(AlphaAt(d, 0, 0), 0);
      EXPECT_EQ(AlphaAt(d, d.width / 2, d.height / 2), 255);
    } else {
      EXPECT_EQ(lowest, 255) << "a full-cover picture has transparent pixels";
    }
  }
  wic.put();
  if (SUCCEEDED(co)) CoUninitialize();
}

TEST(Resources, IconGroupHasItsOwnImageForEveryShellSize) {
  std::wstring exe = SetupExecutable();
  ASSERT_NE(GetFileAttributesW(exe.c_str()), INVALID_FILE_ATTRIBUTES) << "QuorvelSetup.exe is not built";
  ResourceModule res(exe);
  ASSERT_NE(res.module, nullptr);
  std::vector<BYTE> group = ResourceBytes(res.module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14));
  ASSERT_FALSE(group.empty());
  std::vector<int> ids;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    SCOPED_TRACE(testing::Message() << size << " pixels");
    int id = LookupIconIdFromDirectoryEx(group.data(), TRUE, size, size, LR_DEFAULTCOLOR);
    ASSERT_NE(id, 0);
    for (int other : ids) EXPECT_NE(id, other) << "two sizes share one image";
    ids.push_back(id);
    std::vector<BYTE> image = ResourceBytes(res.module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));
    ASSERT_FALSE(image.empty());
    HICON icon = CreateIconFromResourceEx(image.data(), static_cast<DWORD>(image.size()), TRUE, 0x00030000, size, size,
                                          LR_DEFAULTCOLOR);
    ASSERT_NE(icon, nullptr);
    ICONINFO info = {};
    BITMAP bm = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, size);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}
