// HTTP GET in the shape of the system's Internet functions: open a session,
// open a URL, read the body in chunks, close. Failures set the thread's last
// error to an Internet error code whose text SysErrorMessage knows.
//
// Proxy settings come from the environment (http_proxy, no_proxy, ...) for
// the preconfigured access type. Time limits: connecting may take 60 s,
// receiving may be silent for 30 s, and the whole transfer, from opening the
// URL to the end of the body, may take 120 s (settable, see
// SetInternetTimeouts). Redirects are followed, at most 10, never back to a
// URL already visited, and only to http and https.
#pragma once
#include <string>

#include "platform/sysroot/files.h"

namespace win {

constexpr DWORD INTERNET_OPEN_TYPE_PRECONFIG = 0;
constexpr DWORD INTERNET_OPEN_TYPE_DIRECT = 1;

constexpr DWORD ERROR_INTERNET_OUT_OF_HANDLES = 12001;
constexpr DWORD ERROR_INTERNET_TIMEOUT = 12002;
constexpr DWORD ERROR_INTERNET_INTERNAL_ERROR = 12004;
constexpr DWORD ERROR_INTERNET_INVALID_URL = 12005;
constexpr DWORD ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006;
constexpr DWORD ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;
constexpr DWORD ERROR_INTERNET_INCORRECT_HANDLE_TYPE = 12018;
constexpr DWORD ERROR_INTERNET_CANNOT_CONNECT = 12029;
constexpr DWORD ERROR_INTERNET_REDIRECT_SCHEME_CHANGE = 12048;
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;
constexpr DWORD ERROR_HTTP_REDIRECT_FAILED = 12156;  // the redirects run in a loop
// More than 10 redirects; the system has no code of its own for it.
constexpr DWORD ERROR_HTTP_TOO_MANY_REDIRECTS = 12199;
// A header line too long to take, or one that cannot be read.
constexpr DWORD ERROR_HTTP_INVALID_HEADER = 12153;
// A chunked body whose chunk sizes or framing are broken (this system's own).
constexpr DWORD ERROR_HTTP_INVALID_CHUNKED_BODY = 12198;

// Status reported to a status callback: INFO is the new URL (with its zero).
constexpr DWORD INTERNET_STATUS_REDIRECT = 110;

struct InternetHandle;
using HINTERNET = InternetHandle*;

using INTERNET_STATUS_CALLBACK = void (*)(HINTERNET handle, DWORD context, DWORD status, const void* info,
                                          DWORD infoLength);

// A session; nullptr with the last error set on failure.
HINTERNET InternetOpen(const std::string& agent, DWORD accessType, const std::string& proxy,
                       const std::string& proxyBypass, DWORD flags);
// Sends the GET and waits for the reply's headers; nullptr with the last
// error set when the server cannot be reached or does not answer in time,
// or when a redirect cannot be followed: back to a URL already visited
// (ERROR_HTTP_REDIRECT_FAILED), an eleventh (ERROR_HTTP_TOO_MANY_REDIRECTS),
// or to another scheme (ERROR_INTERNET_REDIRECT_SCHEME_CHANGE). The HTTP status
// is not looked at. When the whole-transfer limit passes after the server
// began to answer, the handle is returned and its first read fails with
// ERROR_INTERNET_TIMEOUT.
HINTERNET InternetOpenUrl(HINTERNET session, const std::string& url, const std::string& headers,
                          DWORD flags, DWORD context);
// Reads up to TOREAD bytes of the body into BUFFER. Returns as soon as some
// bytes are there, so a read may be short in the middle of a body; *READ is
// 0 only at the end of the body. False with the last error set on failure.
bool InternetReadFile(HINTERNET url, void* buffer, DWORD toRead, DWORD* read);
bool InternetCloseHandle(HINTERNET handle);
// Sets the callback of a session, for the URLs opened from it afterwards
// (whatever their context); returns the previous one. Reports each redirect
// followed, from inside InternetOpenUrl.
INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET session, INTERNET_STATUS_CALLBACK callback);

// Time limits in milliseconds for sessions opened afterwards. The
// environment variable ZOLMET_INET_TIMEOUTS="connect,receive[,total]"
// overrides the defaults (60000, 30000, 120000) in a child process.
void SetInternetTimeouts(DWORD connectMs, DWORD receiveMs, DWORD totalMs = 120000);
void ResetInternetTimeouts();

}  // namespace win
