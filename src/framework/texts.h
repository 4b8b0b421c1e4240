// The framework's fixed texts: error descriptions and the message pattern of its exception.
#pragma once

namespace kestrane::framework::texts {

inline constexpr const char* kObjectError = "对象%p(%s)异常\r\nErrorCode:%d\r\n错误描述:%s";

inline constexpr const char* kNotSupported = "不支持此调用:\"%s.%s\"";                      // 1024
inline constexpr const char* kIndexOutOfRange = "容器子项编号越界%d/[0..%d]";               // 1026
inline constexpr const char* kParamRequired = "参数\"%s\"不可为空";                         // 1027
inline constexpr const char* kInternalError = "程序内部异常\r\nException Class: \"%s\"";    // 1028
inline constexpr const char* kSystemError = "系统调用错误，错误码:[%d]";                    // 1030
inline constexpr const char* kSystemErrorNoCode = "系统调用错误";                           // 1030
inline constexpr const char* kOleError = "OLE错误,错误码:[0x%x]";                           // 1031
inline constexpr const char* kDynClassNotFound = "动态类未找到:[ClassID:0x%x|Version:%d]";  // 1296
inline constexpr const char* kInvalidItem = "无效子项(%p)\"%s\"";                           // 1299
inline constexpr const char* kReadError = "读取缓存错误";                                   // 1360
inline constexpr const char* kWriteError = "写入缓存错误";                                  // 1361
inline constexpr const char* kElementReadOnly = "元素为只读";                               // 1408

// In place of zlib's message when a value inflates past the bound: %d the bound in bytes.
inline constexpr const char* kInflatedTooLarge = "inflated data exceeds %d bytes";

}  // namespace kestrane::framework::texts
