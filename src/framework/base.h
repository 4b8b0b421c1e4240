// Root of the framework's objects: error raising with the framework's message, its exception, the
// conversion of foreign exceptions, reference-counted interface objects and the critical section.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "support/format.h"

namespace kestrane::framework {

// Error codes raised by the framework.
enum : std::int32_t {
    errNotSupported = 1024,
    errIndexOutOfRange = 1026,
    errParamRequired = 1027,
    errInternal = 1028,
    errSystemCall = 1030,
    errOle = 1031,
    errDynClassNotFound = 1296,
    errInvalidItem = 1299,
    errReadBuffer = 1360,
    errWriteBuffer = 1361,
    errElementReadOnly = 1408,
};

class EQELException : public std::runtime_error {
  public:
    EQELException(std::string message, std::int32_t errorCode, std::int32_t systemCode = 0,
                  std::string detail = {}, std::uint8_t category1 = 0, std::uint8_t category2 = 0,
                  std::uint8_t category3 = 0);

    std::int32_t ErrorCode;
    std::int32_t SystemCode;  // operating-system or OLE code, else 0
    std::uint8_t Category1;
    std::uint8_t Category2;
    std::uint8_t Category3;
    std::uint8_t Flags;  // bit 0: Detail is present
    std::string Detail;
    std::string Description;  // the formatted description the message was built from
};

// An OLE (COM) failure carrying its HRESULT; raised by layers that talk to such components.
class EOleError : public std::runtime_error {
  public:
    EOleError(std::string message, std::int32_t code) : std::runtime_error(std::move(message)), Code(code) {}
    std::int32_t Code;
};

// Raises an error that involves no object: the formatted description alone is the message.
[[noreturn]] void RaiseFrameworkError(std::int32_t code, const std::string& description,
                                      std::string detail = {}, std::int32_t systemCode = 0);
// Error 1027 for a missing required parameter, e.g. "LoadObjectFromBlob(Data)".
[[noreturn]] void RaiseParamRequired(std::string_view parameter);

class TQELBase {
  public:
    TQELBase() = default;
    TQELBase(const TQELBase&) = delete;
    TQELBase& operator=(const TQELBase&) = delete;
    virtual ~TQELBase() = default;

    virtual std::string ClassName() const { return "TQELBase"; }
    virtual std::uint32_t ClassId() const { return 0; }
    virtual std::int32_t ClassVersion() const { return 0; }

    // Target given: 1024 with "Assign"; none: 1024 with "AssignTo(nil)".
    virtual void AssignTo(TQELBase* target) const;
    void Assign(const TQELBase& source) { source.AssignTo(this); }

    // Formats the description and raises EQELException with the object's message.
    template <class... Args>
    [[noreturn]] void RaiseError(std::int32_t code, std::string_view descriptionFormat,
                                 const Args&... args) const {
        RaiseErrorText(code, support::Format(descriptionFormat, args...));
    }
    [[noreturn]] void RaiseErrorText(std::int32_t code, const std::string& description,
                                     std::string detail = {}, std::int32_t systemCode = 0,
                                     std::uint8_t category1 = 0, std::uint8_t category2 = 0,
                                     std::uint8_t category3 = 0) const;

    // The exception being handled as an EQELException: framework errors pass unchanged, an OLE error
    // becomes 1031, an operating-system error 1030, anything else 1028 naming its class; the converted
    // exception's message becomes the Detail.
    EQELException ConvertException(std::exception_ptr error) const;
};

// Reference-counted object; frees itself when the last reference goes. A new object's count is 1
// while it is being constructed and 0 afterwards, so references taken inside the constructor cannot
// free it.
class TQELIntfObj : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELIntfObj"; }
    std::int32_t AddRef() noexcept { return ++refCount_; }
    std::int32_t Release() noexcept;
    std::int32_t RefCount() const noexcept { return refCount_; }

  protected:
    TQELIntfObj() = default;

  private:
    template <class T>
    friend class TQELIntfPtr;
    void AfterConstruction() noexcept { --refCount_; }
    std::atomic<std::int32_t> refCount_{1};
};

// Interface reference to a TQELIntfObj: takes and drops one reference.
template <class T>
class TQELIntfPtr {
  public:
    TQELIntfPtr() = default;
    explicit TQELIntfPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    TQELIntfPtr(const TQELIntfPtr& o) : TQELIntfPtr(o.p_) {}
    TQELIntfPtr(TQELIntfPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    TQELIntfPtr& operator=(TQELIntfPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }
    ~TQELIntfPtr() {
        if (p_) p_->Release();
    }
    // Constructs the object and returns the first reference to it.
    template <class... Args>
    static TQELIntfPtr Make(Args&&... args) {
        T* p = std::make_unique<T>(std::forward<Args>(args)...).release();
        p->AfterConstruction();
        return TQELIntfPtr(p);
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    T* p_ = nullptr;
};

// The framework's lock: a recursive critical section. Taken through the standard guards
// (std::lock_guard, std::unique_lock), so that every way out of a scope leaves it.
class TQELThrdCrtclSctn : public TQELBase {
  public:
    std::string ClassName() const override { return "TQELThrdCrtclSctn"; }
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return mutex_.try_lock(); }

  private:
    std::recursive_mutex mutex_;
};

}  // namespace kestrane::framework
