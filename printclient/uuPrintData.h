// Downloads one print-data reply from the service's web server.
#pragma once
#include <string>

namespace printclient::uuPrintData {

// The short text of the last failure ("初始失敗", "連線失敗" or "讀取失敗");
// cleared at the start of each GetPrintData.
extern std::string PrintDataError;

// Entries of the print program's error and debug logs of the day.
void LogErr(const std::string& text);
void LogDebug(const std::string& text);

// The largest reply taken: a longer one fails as a read failure.
constexpr size_t kMaxReply = 16 * 1024 * 1024;
// The most of a reply that one error-log entry holds.
constexpr size_t kMaxLoggedReply = 64 * 1024;

// A reply (or a text made from one) as the error log holds it: up to
// kMaxLoggedReply bytes as it is, a longer one cut to that many followed by
// " ... (N bytes)", N its whole length.
std::string ReplyForLog(const std::string& Reply);

// GETs "http://" + WebName + WebPage + "PrintData.aspx?d=" + Data and
// returns the whole body in TEXT. False with PrintDataError set and an error
// logged on failure; TEXT is then left as it was. IP is not used. Each
// redirect followed is logged to the debug log with its target.
bool GetPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                  const std::string& Data, std::string& Text);

}  // namespace printclient::uuPrintData
