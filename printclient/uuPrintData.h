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

// GETs "http://" + WebName + WebPage + "PrintData.aspx?d=" + Data and
// returns the whole body in TEXT. False with PrintDataError set and an error
// logged on failure; TEXT is then left as it was. IP is not used.
bool GetPrintData(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                  const std::string& Data, std::string& Text);

}  // namespace printclient::uuPrintData
