#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

// Text in the code page the program runs with, from the UTF-8 of a test.
inline std::wstring wide_of(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], n);
  return wide;
}

inline std::string ansi_of(const std::string& utf8) {
  std::wstring wide = wide_of(utf8);
  int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string ansi(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &ansi[0], n, nullptr, nullptr);
  return ansi;
}

// A DROPFILES block as the shell makes it: header, then each path with its
// terminator, then one more terminator; paths given in UTF-8.
inline std::vector<BYTE> drop_files_block(const std::vector<std::string>& paths, bool wide) {
  std::vector<BYTE> block(sizeof(DROPFILES), 0);
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = sizeof(DROPFILES);
  header->fWide = wide;
  auto put = [&block](const void* bytes, size_t n) {
    const BYTE* b = static_cast<const BYTE*>(bytes);
    block.insert(block.end(), b, b + n);
  };
  for (const std::string& path : paths) {
    if (wide) {
      std::wstring w = wide_of(path);
      put(w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    } else {
      std::string a = ansi_of(path);
      put(a.c_str(), a.size() + 1);
    }
  }
  const wchar_t end = 0;
  put(&end, wide ? sizeof end : 1);
  return block;
}

// Counts the Release calls that ReleaseStgMedium makes for the media the
// fake hands out, so that a test sees every medium given back.
class ReleaseCounter : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override {
    released++;
    return --refs;
  }
  LONG refs = 0;
  int released = 0;
};

// An in-process data object offering a few formats as global memory, with
// counts of what the target asked for and took.
class FakeDataObject : public IDataObject {
 public:
  ~FakeDataObject() {
    for (HGLOBAL h : handed_out_) GlobalFree(h);
  }

  // Offers `format` with these bytes; `tymed` is the medium GetData answers
  // with (global memory or a stream), whatever was asked for.
  void offer(CLIPFORMAT format, std::vector<BYTE> bytes, DWORD tymed = TYMED_HGLOBAL) {
    formats_[format] = {std::move(bytes), tymed};
  }
  void offer_text(const std::string& text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    offer(CF_TEXT, bytes);
  }
  void offer_files(const std::vector<std::string>& paths, bool wide = false) {
    offer(CF_HDROP, drop_files_block(paths, wide));
  }
  void offer_private_key(int32_t key) {
    std::vector<BYTE> bytes(8, 0);
    std::memcpy(bytes.data(), &key, sizeof key);
    offer(static_cast<CLIPFORMAT>(CF_PRIVATEFIRST), bytes);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject) ? this : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    get_data_calls++;
    if (!format || !medium) return E_INVALIDARG;
    auto it = formats_.find(format->cfFormat);
    if (it == formats_.end() || !(format->tymed & TYMED_HGLOBAL)) return DV_E_FORMATETC;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, it->second.bytes.size());
    if (!h) return E_OUTOFMEMORY;
    if (!it->second.bytes.empty()) {
      std::memcpy(GlobalLock(h), it->second.bytes.data(), it->second.bytes.size());
      GlobalUnlock(h);
    }
    medium->tymed = it->second.tymed;
    if (it->second.tymed == TYMED_ISTREAM) {
      // The same bytes as a stream, which takes the memory with it.
      if (CreateStreamOnHGlobal(h, TRUE, &medium->pstm) != S_OK) {
        GlobalFree(h);
        return E_OUTOFMEMORY;
      }
    } else {
      handed_out_.push_back(h);
      medium->hGlobal = h;
    }
    medium->pUnkForRelease = &media;
    media.AddRef();
    media_given++;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    query_calls++;
    if (!format) return E_INVALIDARG;
    if (!formats_.count(format->cfFormat)) return DV_E_FORMATETC;
    return format->tymed & TYMED_HGLOBAL ? S_OK : DV_E_TYMED;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out) out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  LONG refs = 1;
  int get_data_calls = 0;
  int query_calls = 0;
  int media_given = 0;
  ReleaseCounter media;

 private:
  struct Offer {
    std::vector<BYTE> bytes;
    DWORD tymed;
  };
  std::map<CLIPFORMAT, Offer> formats_;
  std::vector<HGLOBAL> handed_out_;
};
