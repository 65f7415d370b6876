#pragma once
// The .CUS record beside the profile's .MWC file: one "key=file" line per assigned stock sound,
// so the next run continues where the last save left off. The .MWC itself cannot serve, since
// every save rebuilds it from the .ORG backup.
//
// Records on existing sticks were written in text mode on a platform that ends every line with
// CR LF, and that platform reads them back with CR LF turned into LF. Lines are written the same
// way here and read the same way, so a record moves between the two platforms unchanged.
#include <functional>
#include <string>

class ByteSink;
class ByteSource;
class CComboBox;
struct CustomizationState;

// The longest line, line end excluded, that a reader takes in one piece (a 128-byte line buffer
// holding the line feed and a terminator as well).
constexpr size_t RecordLineLimit = 126;

// The .MWC path with its last four characters (the ".MWC" extension) replaced by ".CUS".
std::string MakeRecordPath(const std::string& mwcPath);

// Applies one "key=value" line; false when it cannot be reused, which the reader reports.
using RecordAssignment = std::function<bool(const std::string& key, const std::string& value)>;

// Reads record lines from `source` and hands each assignment to `assign`. False after reporting
// "Bad format .UNS file" (lines before the bad one have been applied); true otherwise.
bool ReadCustomizationRecord(ByteSource& source, const RecordAssignment& assign);

// Puts the previous run's choices back into the assignments through AssignByKey. The list must
// be filled first: every value is looked up in it. True when there was no record or it was read
// to its end; false after a malformed record has been reported.
bool LoadCustomizationRecord(CustomizationState& state, const CComboBox& list);

// Writes one line for each stock sound with an assignment, in catalog order, then closes the
// sink. False when a line or the close failed, so the caller can tell the user that the record
// was not saved.
bool WriteCustomizationRecord(const CustomizationState& state, ByteSink& sink);
