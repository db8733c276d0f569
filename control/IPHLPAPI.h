// The machine's MAC and IP list, from the IP helper library that is loaded
// from the system folder at run time.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace control::IPHLPAPI {

// GetMacIP's failures; the message is the Big5 text to log.
class EIPHelperError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One line per adapter that has a gateway and an address in the gateway's
// subnet: 12 hex digits of MAC, 8 per such address, then CR.
std::string GetMacIP();

// Dotted text to a number, the first part highest; stops at an empty part,
// a part that is not an integer, or one outside 0 to 255.
std::uint32_t IPStrToNum(const std::string& text);

// The computer's name; '' when it cannot be read.
std::string GetLocalComputerName();

}  // namespace control::IPHLPAPI
