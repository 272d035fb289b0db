// The settings page's texts that need no widget: the POS connection summary, the autostart note,
// the registration line and the fixed sentences of its cards.
#pragma once

#include "config/AgentInstall.h"

#include <QColor>
#include <QString>

#include <string>

namespace pavona {

extern const char* const kRegHelpNew;       // how to enrol
extern const char* const kRegHelpAgain;     // how to enrol another store
extern const char* const kNoPosConn;        // the connection string is empty
extern const char* const kAskingServer;     // enrolment under way
extern const char* const kTimingNote;       // what the two periods do
extern const char* const kSendNote;         // what sending and reconciling do
extern const char* const kSaveNote;         // where the key is kept
extern const char* const kOperationLost;    // an engine operation ended without an answer
extern const char* const kSaved;            // the save's confirmation
extern const char* const kEnrolCodeExample; // the enrolment edit's placeholder

// The connection string in a few words: server, database and account of an ADO or ODBC string
// (the password never), the file of the embedded POS, or a sentence saying it cannot be read.
QString ConnectionSummary(const std::string& connStr);

// The autostart card's note: the state, its advice without marks, and where the entry lives
// when there is one.
QString AutoStartNote(TAutoStartState state, const std::string& entryPath);

// The registration line of the "협회 연결" card and its colour, the help line under it.
struct TRegistrationLook {
    QString Line;
    QColor Colour;
    QString Help;
};
TRegistrationLook RegistrationLook(const std::string& store, const std::string& key,
                                   const std::string& pointLabel);

// The enrolment note once the association has answered with a key: what this computer kept.
// `refused` is the check the page's other values failed (then only the enrolment was saved);
// `saveError` says the file could not be written at all.
QString EnrolledNote(const std::string& pointLabel, const std::string& refused, const std::string& saveError);

// A text with CR LF line breaks as a label shows it.
QString Shown(const std::string& text);

} // namespace pavona
