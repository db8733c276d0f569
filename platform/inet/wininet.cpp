#include "wininet.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

#include "platform/process/clock.h"
#include "platform/sysroot/handles.h"

namespace win {

struct InternetHandle {
  bool isUrl = false;
  // Session.
  std::string agent;
  DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG;
  DWORD connectMs = 0, receiveMs = 0, totalMs = 0;
  INTERNET_STATUS_CALLBACK callback = nullptr;
  // URL.
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
  std::string pending;   // received body bytes not yet read
  size_t pendingPos = 0;
  bool headersDone = false;
  bool connected = false;
  bool done = false;
  CURLcode result = CURLE_OK;
  std::uint64_t lastActivity = 0;
  std::uint64_t started = 0;
  bool answered = false;     // the server has sent something
  bool overdue = false;      // the whole-transfer limit has passed
  std::set<std::string> visited;  // the URL and every redirect target
  DWORD redirectError = 0;  // why a redirect was not followed
  DWORD context = 0;
  char curlError[CURL_ERROR_SIZE] = {};  // curl's own words for its last failure
};

namespace {

std::mutex g_mutex;
// Kept past static destruction: handles may be closed from destructors.
LiveHandles<InternetHandle>& Live() {
  static auto* live = new LiveHandles<InternetHandle>;
  return *live;
}
bool g_timeoutsSet = false;
constexpr DWORD kConnectMs = 60000, kReceiveMs = 30000, kTotalMs = 120000;
DWORD g_connectMs = kConnectMs, g_receiveMs = kReceiveMs, g_totalMs = kTotalMs;
constexpr size_t kMaxRedirects = 10;

const char* InternetMessage(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_OUT_OF_HANDLES: return "No more Internet handles could be created.";
    case ERROR_INTERNET_TIMEOUT: return "The operation timed out.";
    case ERROR_INTERNET_INTERNAL_ERROR: return "An internal error occurred in the Internet functions.";
    case ERROR_INTERNET_INVALID_URL: return "The URL is invalid.";
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return "The URL does not use a recognized protocol.";
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return "The server name or address could not be resolved.";
    case ERROR_INTERNET_INCORRECT_HANDLE_TYPE: return "The type of handle supplied is incorrect for this operation.";
    case ERROR_INTERNET_CANNOT_CONNECT: return "The attempt to connect to the server failed.";
    case ERROR_INTERNET_CONNECTION_ABORTED: return "The connection with the server was terminated abnormally.";
    case ERROR_INTERNET_CONNECTION_RESET: return "The connection with the server was reset.";
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return "The server response could not be parsed.";
    case ERROR_HTTP_REDIRECT_FAILED: return "The redirection failed: the redirects run in a loop.";
    case ERROR_HTTP_TOO_MANY_REDIRECTS: return "The redirection failed: more than 10 redirects.";
    case ERROR_HTTP_INVALID_HEADER: return "The server sent a header line that is too long or cannot be read.";
    case ERROR_HTTP_INVALID_CHUNKED_BODY: return "The server sent a chunked body whose chunk sizes or framing are broken.";
    case ERROR_INTERNET_REDIRECT_SCHEME_CHANGE:
      return "The redirection failed: the new location does not use http or https.";
    default: return nullptr;
  }
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    RegisterErrorMessages(&InternetMessage);
  });
}

DWORD ParseDword(const char*& p) {
  DWORD v = 0;
  while (*p >= '0' && *p <= '9') {
    v = v * 10 + static_cast<DWORD>(*p - '0');
    if (v > 86400000) v = 86400000;
    ++p;
  }
  return v;
}

void CurrentTimeouts(DWORD& connectMs, DWORD& receiveMs, DWORD& totalMs) {
  std::lock_guard<std::mutex> lock(g_mutex);
  connectMs = g_connectMs;
  receiveMs = g_receiveMs;
  totalMs = g_totalMs;
  if (g_timeoutsSet) return;
  if (const char* env = std::getenv("ZOLMET_INET_TIMEOUTS")) {
    // "connect,receive" or "connect,receive,total"; anything else is ignored.
    const char* p = env;
    DWORD c = ParseDword(p);
    if (*p != ',') return;
    ++p;
    DWORD r = ParseDword(p);
    DWORD t = kTotalMs;
    if (*p == ',') {
      ++p;
      t = ParseDword(p);
    }
    if (*p == 0 && c > 0 && r > 0 && t > 0) {
      connectMs = c;
      receiveMs = r;
      totalMs = t;
    }
  }
}

bool IsLive(HINTERNET h) { return Live().Contains(h); }

DWORD ErrorFromCurl(CURLcode c) {
  switch (c) {
    case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
    case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
    case CURLE_URL_MALFORMAT: return ERROR_INTERNET_INVALID_URL;
    case CURLE_UNSUPPORTED_PROTOCOL: return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
    case CURLE_PARTIAL_FILE: return ERROR_INTERNET_CONNECTION_ABORTED;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR: return ERROR_INTERNET_CONNECTION_RESET;
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_TOO_MANY_REDIRECTS;
    default: return ERROR_INTERNET_INTERNAL_ERROR;
  }
}

bool Mentions(const char* text, const char* word) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.find(word) != std::string::npos;
}

// The failure of H's transfer: what the server sent wrong where curl says
// so (a broken chunked body, an unreadable header), else by curl's code.
DWORD ErrorOf(const InternetHandle* h) {
  if (h->result == CURLE_OK) return ERROR_HTTP_INVALID_SERVER_RESPONSE;
  if (Mentions(h->curlError, "chunk")) return ERROR_HTTP_INVALID_CHUNKED_BODY;
  if (Mentions(h->curlError, "header") && h->result != CURLE_OPERATION_TIMEDOUT) return ERROR_HTTP_INVALID_HEADER;
  // Out of room before the headers ended: a header beyond what is taken.
  if (h->result == CURLE_OUT_OF_MEMORY && !h->headersDone) return ERROR_HTTP_INVALID_HEADER;
  return ErrorFromCurl(h->result);
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* h = static_cast<InternetHandle*>(user);
  size_t n = size * count;
  h->pending.append(data, n);
  h->headersDone = true;
  h->lastActivity = MonotonicMs();
  return n;
}

// REF resolved against BASE as curl resolves a redirect; BASE itself,
// normalised, when REF is null. Empty when either is not a URL.
std::string ResolveUrl(const char* base, const char* ref) {
  std::string out;
  CURLU* u = curl_url();
  char* text = nullptr;
  if (u && curl_url_set(u, CURLUPART_URL, base, 0) == CURLUE_OK &&
      (!ref || curl_url_set(u, CURLUPART_URL, ref, CURLU_URLENCODE) == CURLUE_OK) &&
      curl_url_get(u, CURLUPART_URL, &text, 0) == CURLUE_OK)
    out = text;
  curl_free(text);
  curl_url_cleanup(u);
  return out;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* h = static_cast<InternetHandle*>(user);
  size_t n = size * count;
  h->lastActivity = MonotonicMs();
  h->answered = true;
  // The empty line after the headers of a final (not 1xx) reply.
  if (n <= 2 && (n == 0 || data[0] == '\r' || data[0] == '\n')) {
    long status = 0;
    curl_easy_getinfo(h->easy, CURLINFO_RESPONSE_CODE, &status);
    // A redirect, which curl follows, is not the reply yet.
    curl_header* location = nullptr;
    bool redirect = status >= 300 && status < 400 &&
                    curl_easy_header(h->easy, "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK;
    if (redirect) {
      char* from = nullptr;
      curl_easy_getinfo(h->easy, CURLINFO_EFFECTIVE_URL, &from);
      std::string target = from ? ResolveUrl(from, location->value) : "";
      if (target.empty()) target = location->value;
      // Elsewhere than http or https, too many, or back to a URL already
      // visited: stop here.
      std::string scheme = target.substr(0, target.find(':') + 1);
      for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (scheme != "http:" && scheme != "https:") h->redirectError = ERROR_INTERNET_REDIRECT_SCHEME_CHANGE;
      else if (h->visited.size() > kMaxRedirects) h->redirectError = ERROR_HTTP_TOO_MANY_REDIRECTS;
      else if (!h->visited.insert(target).second) h->redirectError = ERROR_HTTP_REDIRECT_FAILED;
      if (h->redirectError) return 0;
      if (h->callback)
        h->callback(h, h->context, INTERNET_STATUS_REDIRECT, target.c_str(), static_cast<DWORD>(target.size() + 1));
    }
    if (status >= 200 && !redirect) h->headersDone = true;
  }
  return n;
}

int OnConnected(void* user, char*, char*, int, int) {
  auto* h = static_cast<InternetHandle*>(user);
  h->connected = true;
  h->lastActivity = MonotonicMs();
  return CURL_PREREQFUNC_OK;
}

// Drives the transfer until WANT holds, the transfer ends, or the server has
// been silent too long or the whole transfer has taken too long (which end
// it as a time-out).
template <typename Want>
void Pump(InternetHandle* h, Want want) {
  while (!want() && !h->done) {
    int running = 0;
    CURLMcode mc = curl_multi_perform(h->multi, &running);
    if (mc != CURLM_OK) {
      h->done = true;
      h->result = CURLE_OUT_OF_MEMORY;
      break;
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(h->multi, &left)) {
      if (msg->msg == CURLMSG_DONE) {
        h->done = true;
        h->result = msg->data.result;
      }
    }
    if (want() || h->done) break;
    // Connecting is bounded by the connect limit inside the transfer;
    // once connected, silence is bounded here.
    std::uint64_t now = MonotonicMs();
    h->overdue = now - h->started >= h->totalMs;
    if (h->overdue || (h->connected && now - h->lastActivity >= h->receiveMs)) {
      curl_multi_remove_handle(h->multi, h->easy);
      h->done = true;
      h->result = CURLE_OPERATION_TIMEDOUT;
      break;
    }
    curl_multi_poll(h->multi, nullptr, 0, 50, nullptr);
  }
}

void FreeUrl(InternetHandle* h) {
  if (h->multi && h->easy) curl_multi_remove_handle(h->multi, h->easy);
  if (h->easy) curl_easy_cleanup(h->easy);
  if (h->multi) curl_multi_cleanup(h->multi);
  h->easy = nullptr;
  h->multi = nullptr;
}

}  // namespace

void SetInternetTimeouts(DWORD connectMs, DWORD receiveMs, DWORD totalMs) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_connectMs = std::max<DWORD>(connectMs, 1);
  g_receiveMs = std::max<DWORD>(receiveMs, 1);
  g_totalMs = std::max<DWORD>(totalMs, 1);
  g_timeoutsSet = true;
}

void ResetInternetTimeouts() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_connectMs = kConnectMs;
  g_receiveMs = kReceiveMs;
  g_totalMs = kTotalMs;
  g_timeoutsSet = false;
}

HINTERNET InternetOpen(const std::string& agent, DWORD accessType, const std::string& proxy,
                       const std::string& proxyBypass, DWORD flags) {
  (void)proxy;
  (void)proxyBypass;
  (void)flags;
  GlobalInit();
  if (accessType != INTERNET_OPEN_TYPE_PRECONFIG && accessType != INTERNET_OPEN_TYPE_DIRECT) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto* h = new InternetHandle;
  h->agent = agent;
  h->accessType = accessType;
  CurrentTimeouts(h->connectMs, h->receiveMs, h->totalMs);
  return Live().Add(h);
}

HINTERNET InternetOpenUrl(HINTERNET session, const std::string& url, const std::string& headers,
                          DWORD flags, DWORD context) {
  (void)flags;
  if (!IsLive(session) || session->isUrl) {
    SetLastError(session && IsLive(session) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE
                                            : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto* h = new InternetHandle;
  h->isUrl = true;
  h->connectMs = session->connectMs;
  h->receiveMs = session->receiveMs;
  h->totalMs = session->totalMs;
  h->callback = session->callback;
  h->context = context;
  h->visited.insert(ResolveUrl(url.c_str(), nullptr));
  h->multi = curl_multi_init();
  h->easy = curl_easy_init();
  curl_slist* extra = nullptr;
  if (!h->multi || !h->easy) {
    FreeUrl(h);
    delete h;
    SetLastError(ERROR_INTERNET_OUT_OF_HANDLES);
    return nullptr;
  }
  CURL* e = h->easy;
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(e, CURLOPT_USERAGENT, session->agent.c_str());
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(h->connectMs));
  if (session->accessType == INTERNET_OPEN_TYPE_DIRECT) curl_easy_setopt(e, CURLOPT_PROXY, "");
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, h->curlError);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, h);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, h);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &OnConnected);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, h);
  // Extra request headers: CR LF separated lines.
  size_t start = 0;
  while (start < headers.size()) {
    size_t end = headers.find_first_of("\r\n", start);
    if (end == std::string::npos) end = headers.size();
    if (end > start) extra = curl_slist_append(extra, headers.substr(start, end - start).c_str());
    start = end + 1;
  }
  if (extra) curl_easy_setopt(e, CURLOPT_HTTPHEADER, extra);
  h->started = h->lastActivity = MonotonicMs();
  curl_multi_add_handle(h->multi, e);
  Pump(h, [h] { return h->headersDone; });
  if (extra) {
    // The list must outlive the request, which has been sent by now or has
    // failed; later redirects are not given the extra headers.
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(extra);
  }
  // A reply that had begun but ran out of time fails on reading.
  if (!h->headersDone && !(h->overdue && h->answered)) {
    DWORD err = h->done ? ErrorOf(h) : ERROR_INTERNET_INTERNAL_ERROR;
    if (h->redirectError) err = h->redirectError;
    // A reply that is not HTTP (curl takes it for HTTP/0.9) is not an
    // unknown scheme: the URL's scheme was known, the answer was bad.
    if (h->connected && h->result == CURLE_UNSUPPORTED_PROTOCOL) err = ERROR_HTTP_INVALID_SERVER_RESPONSE;
    FreeUrl(h);
    delete h;
    SetLastError(err);
    return nullptr;
  }
  return Live().Add(h);
}

bool InternetReadFile(HINTERNET h, void* buffer, DWORD toRead, DWORD* read) {
  if (!read) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *read = 0;
  if (!IsLive(h) || !h->isUrl) {
    SetLastError(h && IsLive(h) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
    return false;
  }
  if (toRead == 0) return true;
  if (!buffer) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  Pump(h, [h] { return h->pending.size() > h->pendingPos; });
  size_t avail = h->pending.size() - h->pendingPos;
  if (avail > 0) {
    size_t n = std::min<size_t>(avail, toRead);
    std::memcpy(buffer, h->pending.data() + h->pendingPos, n);
    h->pendingPos += n;
    if (h->pendingPos == h->pending.size()) {
      h->pending.clear();
      h->pendingPos = 0;
    } else if (h->pendingPos > 65536 && h->pendingPos * 2 > h->pending.size()) {
      h->pending.erase(0, h->pendingPos);
      h->pendingPos = 0;
    }
    *read = static_cast<DWORD>(n);
    return true;
  }
  if (h->result != CURLE_OK) {
    SetLastError(ErrorOf(h));
    return false;
  }
  return true;  // end of the body
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallback(HINTERNET session, INTERNET_STATUS_CALLBACK callback) {
  if (!IsLive(session) || session->isUrl) {
    SetLastError(session && IsLive(session) ? ERROR_INTERNET_INCORRECT_HANDLE_TYPE : ERROR_INVALID_HANDLE);
    return nullptr;
  }
  INTERNET_STATUS_CALLBACK old = session->callback;
  session->callback = callback;
  return old;
}

bool InternetCloseHandle(HINTERNET h) {
  if (!Live().Remove(h)) return false;
  FreeUrl(h);
  delete h;
  return true;
}

}  // namespace win
