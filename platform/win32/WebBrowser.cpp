#include "platform/win32/WebBrowser.h"

#include <exdisp.h>
#include <exdispid.h>
#include <ocidl.h>
#include <ole2.h>
#include <oleidl.h>

#include <memory>

#include "platform/win32/CallbackGuard.h"
#include "platform/win32/Com.h"
#include "platform/win32/LateBound.h"
#include "platform/win32/WinText.h"

namespace velmora::win32 {

// One object serves as client site, in-place site and in-place frame: the
// control asks it where to draw and which window is its frame, nothing else.
class WebBrowser::Site final : public IOleClientSite, public IOleInPlaceSite, public IOleInPlaceFrame {
 public:
  explicit Site(HWND host) : host_(host) {}

  bool Embed() {
    if (FAILED(late::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                object_.Out()))) {
      return false;
    }
    if (FAILED(object_->SetClientSite(this))) return false;
    RECT r;
    GetClientRect(host_, &r);
    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, host_, &r))) return false;
    return SUCCEEDED(object_->QueryInterface(IID_IWebBrowser2, browser_.Out()));
  }

  // The control holds a reference to this site until it is told to let go.
  ~Site() {
    if (browser_) browser_->Stop();
    browser_.Reset();
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
    }
  }

  IWebBrowser2* browser() const { return browser_.Get(); }

  void Resize() {
    if (!object_) return;
    ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, inPlace.Out()))) {
      RECT r;
      GetClientRect(host_, &r);
      inPlace->SetObjectRects(&r, &r);
    }
  }

  // IUnknown: the site lives as long as its WebBrowser owner; counting is nominal.
  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IOleClientSite) {
      *out = static_cast<IOleClientSite*>(this);
    } else if (riid == IID_IOleWindow || riid == IID_IOleInPlaceSite) {
      *out = static_cast<IOleInPlaceSite*>(this);
    } else if (riid == IID_IOleInPlaceFrame || riid == IID_IOleInPlaceUIWindow) {
      *out = static_cast<IOleInPlaceFrame*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }

  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer** c) override {
    *c = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (shared by the in-place site and frame)
  STDMETHODIMP GetWindow(HWND* w) override {
    *w = host_;
    return S_OK;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                LPRECT clip, LPOLEINPLACEFRAMEINFO info) override {
    *frame = this;
    AddRef();
    *doc = nullptr;
    GetClientRect(host_, pos);
    GetClientRect(host_, clip);
    info->fMDIApp = FALSE;
    info->hwndFrame = GetAncestor(host_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow / IOleInPlaceFrame
  STDMETHODIMP GetBorder(LPRECT) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS) override { return INPLACE_E_NOTOOLSPACE; }
  STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS) override { return S_OK; }
  STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }
  STDMETHODIMP InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return S_OK; }
  STDMETHODIMP SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  STDMETHODIMP RemoveMenus(HMENU) override { return S_OK; }
  STDMETHODIMP SetStatusText(LPCOLESTR) override { return S_OK; }
  STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }
  STDMETHODIMP TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

 private:
  HWND host_;
  ULONG refs_ = 1;
  ComPtr<IOleObject> object_;
  ComPtr<IWebBrowser2> browser_;
};

// The control's DWebBrowserEvents2: each navigation and each new window is put
// to the guard first, and cancelled unless it says yes.
class WebBrowser::Events final : public IDispatch {
 public:
  explicit Events(Guard guard) : guard_(std::move(guard)) {}

  bool Connect(IWebBrowser2* browser) {
    ComPtr<IConnectionPointContainer> container;
    if (FAILED(browser->QueryInterface(IID_IConnectionPointContainer, container.Out())) ||
        FAILED(container->FindConnectionPoint(DIID_DWebBrowserEvents2,
                                              reinterpret_cast<IConnectionPoint**>(point_.Out())))) {
      return false;
    }
    return SUCCEEDED(point_->Advise(this, &cookie_));
  }
  ~Events() {
    if (point_ && cookie_) point_->Unadvise(cookie_);
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }

  // Arguments come last to first: BeforeNavigate2(pDisp, URL, Flags, Target,
  // PostData, Headers, Cancel), NewWindow2(ppDisp, Cancel), NewWindow3(ppDisp,
  // Cancel, dwFlags, bstrUrlContext, bstrUrl).
  // A guard that fails leaves the cancel flag as it came: set, so nothing opens.
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
    return Guarded("web view events", static_cast<UINT>(id), [&] {
      if (!p) return S_OK;
      if (id == DISPID_BEFORENAVIGATE2 && p->cArgs == 7) {
        Decide(Text(p->rgvarg[5]), false, p->rgvarg[0]);
      } else if (id == DISPID_NEWWINDOW2 && p->cArgs == 2) {
        Decide(std::string(), true, p->rgvarg[0]);
      } else if (id == DISPID_NEWWINDOW3 && p->cArgs == 5) {
        Decide(Text(p->rgvarg[0]), true, p->rgvarg[3]);
      }
      return S_OK;
    }, [] { return S_OK; });
  }

 private:
  static std::string Text(const VARIANT& v) {
    const VARIANT& value = (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) ? *v.pvarVal : v;
    return value.vt == VT_BSTR && value.bstrVal ? Utf8(value.bstrVal) : std::string();
  }
  void Decide(const std::string& url, bool newWindow, VARIANT& cancel) {
    if (cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal) return;
    const bool allowed = !newWindow && guard_ && guard_(url, false);
    if (newWindow && guard_ && !url.empty()) guard_(url, true);
    *cancel.pboolVal = allowed ? VARIANT_FALSE : VARIANT_TRUE;
  }

  Guard guard_;
  ULONG refs_ = 1;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

WebBrowser::WebBrowser() = default;
WebBrowser::~WebBrowser() {
  events_.reset();  // unadvised while the control is still there
  site_.reset();
}

bool WebBrowser::Create(HWND host, Guard guard) {
  if (site_) return true;
  auto site = std::make_unique<Site>(host);
  if (!site->Embed()) return false;
  // A control whose navigations cannot be watched is not shown at all.
  auto events = std::make_unique<Events>(std::move(guard));
  if (!events->Connect(site->browser())) return false;
  site_ = std::move(site);
  events_ = std::move(events);
  return true;
}

bool WebBrowser::Navigate(const std::string& url) {
  if (!site_ || !site_->browser()) return false;
  std::unique_ptr<OLECHAR, decltype(&late::SysFreeString)> address(late::SysAllocString(Wide(url).c_str()),
                                                             &late::SysFreeString);
  if (!address) return false;
  VARIANT empty;
  late::VariantInit(&empty);
  return SUCCEEDED(site_->browser()->Navigate(address.get(), &empty, &empty, &empty, &empty));
}

void WebBrowser::Resize() {
  if (site_) site_->Resize();
}

}  // namespace velmora::win32
