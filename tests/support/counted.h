// The IUnknown of the objects the test runtimes hand the plug-in.
#pragma once

#include <windows.h>
#include <unknwn.h>

// IUnknown for a test runtime's object of one interface: a reference count
// from 1, and QueryInterface answering to IUnknown and the interfaces
// Answers names (Interface's own, unless overridden). Base is what the
// object derives from: Interface, or a class of stubs implementing it.
template <typename Interface, typename Base = Interface>
class Counted : public Base {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(id, __uuidof(IUnknown)) && !Answers(id)) return E_NOINTERFACE;
        *object = static_cast<Interface *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~Counted() = default;
    virtual bool Answers(REFIID id) const { return IsEqualIID(id, __uuidof(Interface)); }

  private:
    ULONG references_ = 1;
};
