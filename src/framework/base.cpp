#include "framework/base.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <system_error>
#include <typeinfo>

#include "framework/texts.h"

namespace kestrane::framework {

namespace {

std::string DemangledName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(type.name());
}

}  // namespace

EQELException::EQELException(std::string message, std::int32_t errorCode, std::int32_t systemCode,
                             std::string detail, std::uint8_t category1, std::uint8_t category2,
                             std::uint8_t category3)
    : std::runtime_error(std::move(message)),
      ErrorCode(errorCode),
      SystemCode(systemCode),
      Category1(category1),
      Category2(category2),
      Category3(category3),
      Flags(detail.empty() ? 0 : 1),
      Detail(std::move(detail)) {}

void RaiseFrameworkError(std::int32_t code, const std::string& description, std::string detail,
                         std::int32_t systemCode) {
    EQELException e(description, code, systemCode, std::move(detail));
    e.Description = description;
    throw e;
}

void RaiseParamRequired(std::string_view parameter) {
    RaiseFrameworkError(errParamRequired, support::Format(texts::kParamRequired, parameter));
}

void TQELBase::AssignTo(TQELBase* target) const {
    RaiseError(errNotSupported, texts::kNotSupported, ClassName(), target ? "Assign" : "AssignTo(nil)");
}

void TQELBase::RaiseErrorText(std::int32_t code, const std::string& description, std::string detail,
                              std::int32_t systemCode, std::uint8_t category1, std::uint8_t category2,
                              std::uint8_t category3) const {
    const void* self = this;
    EQELException e(support::Format(texts::kObjectError, self, ClassName(), code, description), code,
                    systemCode, std::move(detail), category1, category2, category3);
    e.Description = description;
    throw e;
}

EQELException TQELBase::ConvertException(std::exception_ptr error) const {
    const void* self = this;
    auto make = [&](std::int32_t code, const std::string& description, std::string detail, std::int32_t sys) {
        EQELException e(support::Format(texts::kObjectError, self, ClassName(), code, description), code, sys,
                        std::move(detail));
        e.Description = description;
        return e;
    };
    try {
        std::rethrow_exception(error);
    } catch (const EQELException& e) {
        return e;
    } catch (const EOleError& e) {
        return make(errOle, support::Format(texts::kOleError, static_cast<std::uint32_t>(e.Code)), e.what(),
                    e.Code);
    } catch (const std::system_error& e) {
        const int code = e.code().value();
        const std::string description =
            code != 0 ? support::Format(texts::kSystemError, code) : std::string(texts::kSystemErrorNoCode);
        return make(errSystemCall, description, e.what(), code);
    } catch (const std::exception& e) {
        return make(errInternal, support::Format(texts::kInternalError, DemangledName(typeid(e))), e.what(),
                    0);
    } catch (...) {
        return make(errInternal, support::Format(texts::kInternalError, "unknown"), {}, 0);
    }
}

std::int32_t TQELIntfObj::Release() noexcept {
    const std::int32_t left = --refCount_;
    if (left == 0) std::unique_ptr<TQELIntfObj> last(this);
    return left;
}

}  // namespace kestrane::framework
