// HTTP GET in the shape of the system's Internet functions: open a session,
// open a URL, read the body in chunks, close. Failures set the thread's last
// error to an Internet error code whose text SysErrorMessage knows.
//
// Proxy settings come from the environment (http_proxy, no_proxy, ...) for
// the preconfigured access type. Time limits: connecting may take 60 s and
// receiving may be silent for 30 s (settable, see SetInternetTimeouts).
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
constexpr DWORD ERROR_INTERNET_CONNECTION_ABORTED = 12030;
constexpr DWORD ERROR_INTERNET_CONNECTION_RESET = 12031;
constexpr DWORD ERROR_HTTP_INVALID_SERVER_RESPONSE = 12152;

struct InternetHandle;
using HINTERNET = InternetHandle*;

// A session; nullptr with the last error set on failure.
HINTERNET InternetOpen(const std::string& agent, DWORD accessType, const std::string& proxy,
                       const std::string& proxyBypass, DWORD flags);
// Sends the GET and waits for the reply's headers; nullptr with the last
// error set when the server cannot be reached or does not answer in time.
// The HTTP status is not looked at.
HINTERNET InternetOpenUrl(HINTERNET session, const std::string& url, const std::string& headers,
                          DWORD flags, DWORD context);
// Reads up to TOREAD bytes of the body into BUFFER. Returns as soon as some
// bytes are there, so a read may be short in the middle of a body; *READ is
// 0 only at the end of the body. False with the last error set on failure.
bool InternetReadFile(HINTERNET url, void* buffer, DWORD toRead, DWORD* read);
bool InternetCloseHandle(HINTERNET handle);

// Time limits in milliseconds for sessions opened afterwards. The
// environment variable ZOLMET_INET_TIMEOUTS="connect,receive" overrides the
// defaults (60000, 30000) in a child process.
void SetInternetTimeouts(DWORD connectMs, DWORD receiveMs);
void ResetInternetTimeouts();

}  // namespace win
