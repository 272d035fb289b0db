// Enrolment (a one-time code turned into the store's key and number) and item mapping requests:
// their records, the mapping request body, and how the answers and error codes are read.
#pragma once

#include <string>

namespace pavona {

struct TEnrollResult {
    bool Ok = false;
    std::string Error;
    std::string Key;
    std::string Store;
    std::string PointLabel;
};

struct TMappingResult {
    bool Ok = false;
    std::string ToStatus;
    std::string Review;
    bool Created = false;
    std::string Error;
    std::string Reason;
    std::string Message;
};

// Operator texts of enrolment failures.
extern const char* const kEnrollInputMissing;
extern const char* const kEnrollUnreachable;
extern const char* const kEnrollRefused;
extern const char* const kEnrollNoKey;
extern const char* const kMappingUnreachable;

// Reads the body of a 200 enrolment answer into `r` (Ok, or Error when unreadable or keyless).
void ReadEnrollAnswer(const std::string& answer, TEnrollResult& r);

// The mapping request object: store, vendor_item_code, kind, standard_item_code (when given),
// note, and the trimmed name, spec and barcode (each only when not empty).
std::string MappingBody(const std::string& store, const std::string& vendorCode, const std::string& kind,
                        const std::string& stdCode, const std::string& note, const std::string& vendorName,
                        const std::string& spec, const std::string& barcode);

// Fills `r` from a mapping answer that did come (status not 0).
void ReadMappingAnswer(int status, const std::string& answer, TMappingResult& r);

// The operator's text for a refused mapping request: by the server's error code, else by status.
std::string MappingErrorText(const std::string& error, const std::string& reason, int status);

} // namespace pavona
