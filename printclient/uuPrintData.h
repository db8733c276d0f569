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
// GETs "http://" + WebName + WebPage + "PrintData.aspx?d=" + Data (a "#"
// in Data sent as "%23", so that it stays part of the id) and returns the
// whole body in TEXT. False with PrintDataError set and an error logged on
// failure; TEXT is then left as it was. IP is not used. Each redirect
// followed is logged to the debug log with its target; a failure is logged
// under the URL that failed. A body holding a zero byte is malformed: a
// read failure.
bool GetPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                  const std::string& Data, std::string& Text);

}  // namespace printclient::uuPrintData
