// FindPin against a fake filter: which pin wins, and that every reference
// and media type it looked at is given back.
#include "engine/capture/video_capture.h"

#include <gtest/gtest.h>

#include <deque>
#include <initializer_list>
#include <optional>
#include <vector>

using namespace kadrix;

namespace {

// Counts references without ever freeing: the test owns every object.
template <typename Interface> class Counted : public Interface
{
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    ULONG references = 1;
};

// Rides along in every enumerated media type, so a type that is not freed
// keeps a reference.
Counted<IUnknown> g_typeObject;

struct Type
{
    GUID major, sub;
};

class FakeMediaTypes final : public Counted<IEnumMediaTypes>
{
public:
    explicit FakeMediaTypes(std::vector<Type> types) : types_(std::move(types)) {}
    STDMETHODIMP Next(ULONG, AM_MEDIA_TYPE** out, ULONG*) override
    {
        if (next_ == types_.size())
            return S_FALSE;
        auto* type = static_cast<AM_MEDIA_TYPE*>(::CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
        *type = AM_MEDIA_TYPE{};
        type->majortype = types_[next_].major;
        type->subtype = types_[next_++].sub;
        type->cbFormat = 16;
        type->pbFormat = static_cast<BYTE*>(::CoTaskMemAlloc(16));
        type->pUnk = &g_typeObject;
        g_typeObject.AddRef();
        *out = type;
        return S_OK;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IEnumMediaTypes**) override { return E_NOTIMPL; }

private:
    std::vector<Type> types_;
    std::size_t next_ = 0;
};

class FakePin final : public Counted<IPin>
{
public:
    FakePin(PIN_DIRECTION direction, std::initializer_list<Type> types)
        : direction_(direction), types_(types)
    {
    }
    STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override
    {
        *direction = direction_;
        return S_OK;
    }
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** out) override
    {
        enumerators_.emplace_back(types_);
        *out = &enumerators_.back();
        return S_OK;
    }
    // Every enumerator it handed out was released.
    bool EnumeratorsReleased() const
    {
        for (const auto& e : enumerators_)
            if (e.references != 0)
                return false;
        return true;
    }

    STDMETHODIMP Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Disconnect() override { return E_NOTIMPL; }
    STDMETHODIMP ConnectedTo(IPin**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryId(LPWSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP EndOfStream() override { return E_NOTIMPL; }
    STDMETHODIMP BeginFlush() override { return E_NOTIMPL; }
    STDMETHODIMP EndFlush() override { return E_NOTIMPL; }
    STDMETHODIMP NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }

private:
    PIN_DIRECTION direction_;
    std::vector<Type> types_;
    std::deque<FakeMediaTypes> enumerators_; // stays put while FindPin holds one
};

class FakePins final : public Counted<IEnumPins>
{
public:
    explicit FakePins(std::vector<FakePin*> pins) : pins_(std::move(pins)) {}
    STDMETHODIMP Next(ULONG, IPin** out, ULONG*) override
    {
        if (next_ == pins_.size())
            return S_FALSE;
        *out = pins_[next_++];
        (*out)->AddRef();
        return S_OK;
    }
    STDMETHODIMP Skip(ULONG) override { return E_NOTIMPL; }
    STDMETHODIMP Reset() override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IEnumPins**) override { return E_NOTIMPL; }

private:
    std::vector<FakePin*> pins_;
    std::size_t next_ = 0;
};

class FakeFilter final : public Counted<IBaseFilter>
{
public:
    explicit FakeFilter(std::vector<FakePin*> pins) : pins_(std::move(pins)) {}
    STDMETHODIMP EnumPins(IEnumPins** out) override
    {
        enumerator_.emplace(pins_);
        *out = &*enumerator_;
        return S_OK;
    }
    bool EnumeratorReleased() const { return enumerator_ && enumerator_->references == 0; }

    STDMETHODIMP GetClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP Pause() override { return E_NOTIMPL; }
    STDMETHODIMP Run(REFERENCE_TIME) override { return E_NOTIMPL; }
    STDMETHODIMP GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
    STDMETHODIMP FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
    STDMETHODIMP QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
    STDMETHODIMP JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

private:
    std::vector<FakePin*> pins_;
    std::optional<FakePins> enumerator_;
};

const Type kAudio{MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
const Type kVideo{MEDIATYPE_Video, MEDIASUBTYPE_RGB24};
const Type kVideoAnySubtype{MEDIATYPE_Video, GUID_NULL};
const Type kAviStream{MEDIATYPE_Stream, MEDIASUBTYPE_Avi};
const Type kAnyStream{MEDIATYPE_Stream, GUID_NULL};

// FindPin's answer for the pins, checked for leaks on the way.
IPin* Found(std::vector<FakePin*> pins, PIN_DIRECTION direction, int skip)
{
    FakeFilter filter(pins);
    const ULONG typeReferences = g_typeObject.references;
    IPin* found = FindPin(&filter, direction, skip).get(); // its reference ends here
    EXPECT_TRUE(filter.EnumeratorReleased());
    EXPECT_EQ(g_typeObject.references, typeReferences) << "a media type was not freed";
    for (const FakePin* pin : pins) {
        EXPECT_EQ(pin->references, 1u) << "a pin reference was kept";
        EXPECT_TRUE(pin->EnumeratorsReleased());
    }
    return found;
}

TEST(FindPin, AVideoOrByteStreamPinWinsWhereverItStands)
{
    FakePin audio(PINDIR_OUTPUT, {kAudio});
    FakePin video(PINDIR_OUTPUT, {kAudio, kVideo});
    FakePin input(PINDIR_INPUT, {kVideo});
    EXPECT_EQ(Found({&audio, &video}, PINDIR_OUTPUT, 1), &video);
    EXPECT_EQ(Found({&input, &audio, &video}, PINDIR_OUTPUT, 1), &video);
    EXPECT_EQ(Found({&audio, &input}, PINDIR_INPUT, 5), &input);

    FakePin stream(PINDIR_OUTPUT, {kAviStream});
    EXPECT_EQ(Found({&stream}, PINDIR_OUTPUT, 1), &stream);
}

TEST(FindPin, WithoutOneTakesThePinAfterTheSkippedOnes)
{
    FakePin first(PINDIR_OUTPUT, {kAudio});
    FakePin second(PINDIR_OUTPUT, {kAudio});
    FakePin input(PINDIR_INPUT, {kAudio});
    EXPECT_EQ(Found({&first, &second}, PINDIR_OUTPUT, 0), &first);
    EXPECT_EQ(Found({&first, &input, &second}, PINDIR_OUTPUT, 1), &second);
    EXPECT_EQ(Found({&first, &second}, PINDIR_OUTPUT, 2), nullptr);
    EXPECT_EQ(Found({&first}, PINDIR_OUTPUT, 1), nullptr);
    EXPECT_EQ(Found({&input}, PINDIR_OUTPUT, 0), nullptr);
}

TEST(FindPin, ATypeWithoutSubtypeDoesNotQualify)
{
    // A source whose only output offers no subtype yields no pin, and Open
    // then fails with E_POINTER.
    FakePin anyStream(PINDIR_OUTPUT, {kAnyStream, kVideoAnySubtype});
    EXPECT_EQ(Found({&anyStream}, PINDIR_OUTPUT, 1), nullptr);
    FakePin audio(PINDIR_OUTPUT, {kAudio});
    EXPECT_EQ(Found({&audio, &anyStream}, PINDIR_OUTPUT, 1), &anyStream);
    EXPECT_EQ(FindPin(nullptr, PINDIR_OUTPUT, 0).get(), nullptr);
}

} // namespace
