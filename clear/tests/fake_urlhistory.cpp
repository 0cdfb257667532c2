// A stand-in for the platform's URL history object, registered under its class by the tests:
// every ClearHistory call appends a line to history_calls.txt beside this DLL.
#include <windows.h>

#include <string>

namespace {

HMODULE g_module;

void Record(const char* what) {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(g_module, path, MAX_PATH);
  std::string file(path, n);
  file = file.substr(0, file.find_last_of('\\') + 1) + "history_calls.txt";
  HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD put;
  WriteFile(h, what, lstrlenA(what), &put, nullptr);
  WriteFile(h, "\r\n", 2, &put, nullptr);
  CloseHandle(h);
}

struct History;
struct HistoryVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(History*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(History*);
  ULONG(STDMETHODCALLTYPE* Release)(History*);
  HRESULT(STDMETHODCALLTYPE* Other[6])(History*);
  HRESULT(STDMETHODCALLTYPE* ClearHistory)(History*);
};
struct History {
  const HistoryVtbl* vtbl;
  LONG refs;
};

HRESULT STDMETHODCALLTYPE HQueryInterface(History* self, REFIID, void** out) {
  *out = self;
  InterlockedIncrement(&self->refs);
  return S_OK;
}
ULONG STDMETHODCALLTYPE HAddRef(History* self) { return InterlockedIncrement(&self->refs); }
ULONG STDMETHODCALLTYPE HRelease(History* self) {
  LONG n = InterlockedDecrement(&self->refs);
  if (n == 0) {
    Record("Release");
    delete self;
  }
  return n;
}
HRESULT STDMETHODCALLTYPE HOther(History*) {
  Record("other");
  return E_NOTIMPL;
}
HRESULT STDMETHODCALLTYPE HClearHistory(History*) {
  Record("ClearHistory");
  return S_OK;
}
const HistoryVtbl kHistoryVtbl = {HQueryInterface, HAddRef, HRelease,
                                  {HOther, HOther, HOther, HOther, HOther, HOther}, HClearHistory};

struct Factory : IClassFactory {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    *out = new History{&kHistoryVtbl, 1};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} g_factory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** out) {
  *out = static_cast<IClassFactory*>(&g_factory);
  return S_OK;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
