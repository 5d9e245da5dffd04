// A MediaParamStore inside a minimal owner object, as the filter will hold it: the owner counts
// references and answers QueryInterface with the store's faces.
#pragma once

#include <gtest/gtest.h>

#include <atomic>

#include "params/MediaParamStore.h"

class StoreOwner : public IUnknown {
  public:
    StoreOwner() : store(this, &createResult) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualGUID(iid, IID_IUnknown)) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return store.QueryFace(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(++refs); }
    ULONG STDMETHODCALLTYPE Release() override { return ULONG(--refs); }

    std::atomic<long> refs{0};
    HRESULT createResult = E_FAIL;
    MediaParamStore store;
};

class StoreTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(owner.createResult, S_OK); }
    void TearDown() override { EXPECT_EQ(owner.refs, 0) << "references leaked on the owner"; }

    StoreOwner owner;
    MediaParamStore& store = owner.store;
};
