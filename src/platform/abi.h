// Binary records and COM interfaces exchanged with the universal printer driver
// and GDI, declared from the published Windows declarations. The layout is the
// Windows x64 one on every build: wide characters are char16_t and every
// "long" of the Windows headers is a 32-bit integer here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace winabi {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using WCHAR = char16_t;
using HANDLE = void*;
using HPALETTE = void*;
using HSURF = void*;
using PFN = void (*)();

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);

constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

// Compares as two 64-bit halves, as the class look-up does.
bool IsEqualGuid(const GUID& a, const GUID& b);

constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IPrintOemUni = {
    0xD67EBBF0, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
constexpr GUID IID_IPrintOemUni2 = {
    0xB91220AC, 0x15CC, 0x4E7A, {0xA2, 0x1E, 0x95, 0x91, 0xF3, 0x4D, 0x6F, 0x6C}};
constexpr GUID IID_IPrintOemDriverUni = {
    0xD67EBBF1, 0x78BF, 0x11D1, {0x94, 0x80, 0x00, 0xA0, 0xC9, 0x06, 0x40, 0xB8}};
constexpr GUID CLSID_RenderPlugin = {
    0x6D6ABF26, 0x9F38, 0x11D1, {0x88, 0x2A, 0x00, 0xC0, 0x4F, 0xB9, 0x61, 0xEC}};

struct POINT {
  LONG x;
  LONG y;
};
struct POINTL {
  LONG x;
  LONG y;
};
struct RECTL {
  LONG left, top, right, bottom;
};

// ---- GDI and spooler records ----------------------------------------------

struct DEVMODEW {
  WCHAR dmDeviceName[32];
  WORD dmSpecVersion;
  WORD dmDriverVersion;
  WORD dmSize;
  WORD dmDriverExtra;
  DWORD dmFields;
  std::int16_t dmOrientation;
  std::int16_t dmPaperSize;
  std::int16_t dmPaperLength;
  std::int16_t dmPaperWidth;
  std::int16_t dmScale;
  std::int16_t dmCopies;
  std::int16_t dmDefaultSource;
  std::int16_t dmPrintQuality;
  std::int16_t dmColor;
  std::int16_t dmDuplex;
  std::int16_t dmYResolution;
  std::int16_t dmTTOption;
  std::int16_t dmCollate;
  WCHAR dmFormName[32];
  WORD dmLogPixels;
  DWORD dmBitsPerPel;
  DWORD dmPelsWidth;
  DWORD dmPelsHeight;
  DWORD dmNup;
  DWORD dmDisplayFrequency;
  DWORD dmICMMethod;
  DWORD dmICMIntent;
  DWORD dmMediaType;
  DWORD dmDitherType;
  DWORD dmReserved1;
  DWORD dmReserved2;
  DWORD dmPanningWidth;
  DWORD dmPanningHeight;
};
static_assert(sizeof(DEVMODEW) == 220);
static_assert(offsetof(DEVMODEW, dmSize) == 68);
static_assert(offsetof(DEVMODEW, dmOrientation) == 76);
static_assert(offsetof(DEVMODEW, dmPaperLength) == 80);
static_assert(offsetof(DEVMODEW, dmPaperWidth) == 82);
static_assert(offsetof(DEVMODEW, dmCopies) == 86);
static_assert(offsetof(DEVMODEW, dmCollate) == 100);
static_assert(offsetof(DEVMODEW, dmFormName) == 102);
static_assert(offsetof(DEVMODEW, dmMediaType) == 196);

#pragma pack(push, 2)
struct BITMAPFILEHEADER {
  WORD bfType;
  DWORD bfSize;
  WORD bfReserved1;
  WORD bfReserved2;
  DWORD bfOffBits;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPFILEHEADER) == 14);

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
static_assert(offsetof(BITMAPINFOHEADER, biSizeImage) == 20);

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};
static_assert(sizeof(PALETTEENTRY) == 4);

struct SIZEL {
  LONG cx;
  LONG cy;
};

struct FORM_INFO_1W {
  DWORD Flags;
  WCHAR* pName;
  SIZEL Size;
  RECTL ImageableArea;
};
static_assert(sizeof(FORM_INFO_1W) == 40);
static_assert(offsetof(FORM_INFO_1W, Size) == 16);

// ---- Driver plug-in records ------------------------------------------------

struct OEM_DMEXTRAHEADER {
  DWORD dwSize;
  DWORD dwSignature;
  DWORD dwVersion;
};
static_assert(sizeof(OEM_DMEXTRAHEADER) == 12);

struct OEMDMPARAM {
  DWORD cbSize;
  void* pdriverobj;
  HANDLE hPrinter;
  HANDLE hModule;
  DEVMODEW* pPublicDMIn;
  DEVMODEW* pPublicDMOut;
  void* pOEMDMIn;
  void* pOEMDMOut;
  DWORD cbBufSize;
};
static_assert(sizeof(OEMDMPARAM) == 72);
static_assert(offsetof(OEMDMPARAM, pPublicDMIn) == 32);
static_assert(offsetof(OEMDMPARAM, pOEMDMIn) == 48);
static_assert(offsetof(OEMDMPARAM, cbBufSize) == 64);

struct DEVOBJ;
using PFN_DrvWriteSpoolBuf = DWORD (*)(DEVOBJ* pdevobj, void* pBuffer, DWORD cbSize);

struct DRVPROCS {
  PFN_DrvWriteSpoolBuf DrvWriteSpoolBuf;
  void* DrvXMoveTo;
  void* DrvYMoveTo;
  void* DrvGetDriverSetting;
  void* BGetStandardVariable;
  void* DrvUnidriverTextOut;
  void* DrvWriteAbortBuf;
};
static_assert(sizeof(DRVPROCS) == 56);

struct DEVOBJ {
  DWORD dwSize;
  void* pdevOEM;
  HANDLE hEngine;
  HANDLE hPrinter;
  HANDLE hOEM;
  DEVMODEW* pPublicDM;
  void* pOEMDM;
  DRVPROCS* pDrvProcs;
};
static_assert(sizeof(DEVOBJ) == 64);
static_assert(offsetof(DEVOBJ, pdevOEM) == 8);
static_assert(offsetof(DEVOBJ, pPublicDM) == 40);
static_assert(offsetof(DEVOBJ, pOEMDM) == 48);
static_assert(offsetof(DEVOBJ, pDrvProcs) == 56);

// The published record ends at bBlankBand (32 bytes). Newer drivers append
// bChangeColor and bAddPaletteEntries; they are read only when dwSize covers
// them.
struct IPPARAMS {
  DWORD dwSize;
  POINT ptOffset;
  char* pHalftoneOption;
  BOOL bBanding;
  BOOL bBlankBand;
  BOOL bChangeColor;
  BOOL bAddPaletteEntries;
};
static_assert(offsetof(IPPARAMS, pHalftoneOption) == 16);
static_assert(offsetof(IPPARAMS, bBlankBand) == 28);
static_assert(offsetof(IPPARAMS, bAddPaletteEntries) == 36);
constexpr DWORD kIpParamsPublishedSize = 32;

struct DRVFN {
  ULONG iFunc;
  PFN pfn;
};
static_assert(sizeof(DRVFN) == 16);

struct DRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN* pdrvfn;
};
static_assert(sizeof(DRVENABLEDATA) == 16);

constexpr ULONG INDEX_DrvStartPage = 33;
constexpr ULONG INDEX_DrvEndDoc = 34;
constexpr ULONG PRINTER_OEMINTF_VERSION = 0x00010000;

struct SURFOBJ {
  HANDLE dhsurf;
  HSURF hsurf;
  void* dhpdev;
  HANDLE hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  void* pvBits;
  void* pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  WORD iType;
  WORD fjBitmap;
};
static_assert(sizeof(SURFOBJ) == 80);
static_assert(offsetof(SURFOBJ, dhpdev) == 16);
static_assert(offsetof(SURFOBJ, pvScan0) == 56);

using PFN_DrvStartPage = BOOL (*)(SURFOBJ* pso);
using PFN_DrvEndDoc = BOOL (*)(SURFOBJ* pso, ULONG fl);

// Leading part of GDIINFO, up to the field the plug-in reads.
struct GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
};
static_assert(offsetof(GDIINFO, cBitsPixel) == 24);

struct LOGFONTW {
  LONG lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
  BYTE lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
      lfPitchAndFamily;
  WCHAR lfFaceName[32];
};
static_assert(sizeof(LOGFONTW) == 92);

// Leading part of DEVINFO, up to the default palette.
struct DEVINFO {
  ULONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  WORD cxDither;
  WORD cyDither;
  HPALETTE hpalDefault;
};
static_assert(offsetof(DEVINFO, hpalDefault) == 296);

// ---- COM interfaces (vtable order as published) ----------------------------

struct IUnknown {
  virtual HRESULT QueryInterface(const GUID& riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, const GUID& riid, void** ppv) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;
};

struct IPrintOemUni2 : IUnknown {
  virtual HRESULT GetInfo(DWORD dwMode, void* pBuffer, DWORD cbSize, DWORD* pcbNeeded) = 0;
  virtual HRESULT DevMode(DWORD dwMode, OEMDMPARAM* pOemDMParam) = 0;
  virtual HRESULT EnableDriver(DWORD DriverVersion, DWORD cbSize, DRVENABLEDATA* pded) = 0;
  virtual HRESULT DisableDriver() = 0;
  virtual HRESULT EnablePDEV(DEVOBJ* pdevobj, WCHAR* pPrinterName, ULONG cPatterns,
                             HSURF* phsurfPatterns, ULONG cjGdiInfo, GDIINFO* pGdiInfo,
                             ULONG cjDevInfo, DEVINFO* pDevInfo, DRVENABLEDATA* pded,
                             void** pDevOem) = 0;
  virtual HRESULT DisablePDEV(DEVOBJ* pdevobj) = 0;
  virtual HRESULT ResetPDEV(DEVOBJ* pdevobjOld, DEVOBJ* pdevobjNew) = 0;
  virtual HRESULT PublishDriverInterface(IUnknown* pIUnknown) = 0;
  virtual HRESULT GetImplementedMethod(char* pMethodName) = 0;
  virtual HRESULT DriverDMS(void* pDevObj, void* pBuffer, DWORD cbSize, DWORD* pcbNeeded) = 0;
  virtual HRESULT CommandCallback(DEVOBJ* pdevobj, DWORD dwCallbackID, DWORD dwCount,
                                  DWORD* pdwParams, INT* piResult) = 0;
  virtual HRESULT ImageProcessing(DEVOBJ* pdevobj, BYTE* pSrcBitmap,
                                  BITMAPINFOHEADER* pBitmapInfoHeader, BYTE* pColorTable,
                                  DWORD dwCallbackID, IPPARAMS* pIPParams, BYTE** ppbResult) = 0;
  virtual HRESULT FilterGraphics(DEVOBJ* pdevobj, BYTE* pBuf, DWORD dwLen) = 0;
  virtual HRESULT Compression(DEVOBJ* pdevobj, BYTE* pInBuf, BYTE* pOutBuf, DWORD dwInLen,
                              DWORD dwOutLen, INT* piResult) = 0;
  virtual HRESULT HalftonePattern(DEVOBJ* pdevobj, BYTE* pHTPattern, DWORD dwHTPatternX,
                                  DWORD dwHTPatternY, DWORD dwHTNumPatterns, DWORD dwCallbackID,
                                  BYTE* pResource, DWORD dwResourceSize) = 0;
  virtual HRESULT MemoryUsage(DEVOBJ* pdevobj, void* pMemoryUsage) = 0;
  virtual HRESULT TTYGetInfo(DEVOBJ* pdevobj, DWORD dwInfoIndex, void* pOutputBuf, DWORD dwSize,
                             DWORD* pcbcNeeded) = 0;
  virtual HRESULT DownloadFontHeader(DEVOBJ* pdevobj, void* pUFObj, DWORD* pdwResult) = 0;
  virtual HRESULT DownloadCharGlyph(DEVOBJ* pdevobj, void* pUFObj, ULONG hGlyph, DWORD* pdwWidth,
                                    DWORD* pdwResult) = 0;
  virtual HRESULT TTDownloadMethod(DEVOBJ* pdevobj, void* pUFObj, DWORD* pdwResult) = 0;
  virtual HRESULT OutputCharStr(DEVOBJ* pdevobj, void* pUFObj, DWORD dwType, DWORD dwCount,
                                void* pGlyph) = 0;
  virtual HRESULT SendFontCmd(DEVOBJ* pdevobj, void* pUFObj, void* pFInv) = 0;
  virtual HRESULT TextOutAsBitmap(SURFOBJ* pso, void* pstro, void* pfo, void* pco, RECTL* prclExtra,
                                  RECTL* prclOpaque, void* pboFore, void* pboOpaque,
                                  POINTL* pptlOrg, ULONG mix) = 0;
  virtual HRESULT WritePrinter(DEVOBJ* pdevobj, void* pBuf, DWORD cbBuffer, DWORD* pcbWritten) = 0;
};

struct IPrintOemDriverUni : IUnknown {
  virtual HRESULT DrvGetDriverSetting(void* pdriverobj, const char* Feature, void* pOutput,
                                      DWORD cbSize, DWORD* pcbNeeded,
                                      DWORD* pdwOptionsReturned) = 0;
  virtual HRESULT DrvWriteSpoolBuf(DEVOBJ* pdevobj, void* pBuffer, DWORD cbSize,
                                   DWORD* pdwResult) = 0;
  virtual HRESULT DrvXMoveTo(DEVOBJ* pdevobj, INT x, DWORD dwFlags, INT* piResult) = 0;
  virtual HRESULT DrvYMoveTo(DEVOBJ* pdevobj, INT y, DWORD dwFlags, INT* piResult) = 0;
  virtual HRESULT DrvGetStandardVariable(DEVOBJ* pdevobj, DWORD dwIndex, void* pBuffer,
                                         DWORD cbSize, DWORD* pcbNeeded) = 0;
  virtual HRESULT DrvGetGPDData(DEVOBJ* pdevobj, DWORD dwType, void* pInputData, void* pBuffer,
                                DWORD cbSize, DWORD* pcbNeeded) = 0;
  virtual HRESULT DrvUniTextOut(SURFOBJ* pso, void* pstro, void* pfo, void* pco, RECTL* prclExtra,
                                RECTL* prclOpaque, void* pboFore, void* pboOpaque,
                                POINTL* pptlBrushOrg, ULONG mix) = 0;
  virtual HRESULT DrvWriteAbortBuf(DEVOBJ* pdevobj, void* pBuffer, DWORD cbSize, DWORD dwWait) = 0;
};

}  // namespace winabi
