#pragma once

#include <QString>

// The default company name and legal copyright, kept in Kestrum.ini beside
// the executable, section OPTION, keys COMPANY and RIGHTS.
namespace DefaultsProfile {

struct Defaults
{
    QString company;
    QString rights;
};

constexpr const char *fileName = "Kestrum.ini";

// The stored defaults; each one that is missing or unreadable is empty.
Defaults ReadDefaults();

// Stores both defaults, COMPANY first; a failed COMPANY write leaves RIGHTS
// alone. False when either write failed. A character that the file's code
// page cannot hold raises KestrumError before anything is written;
// `companyField` and `rightsField` name the fields in that message.
bool WriteDefaults(const Defaults &defaults, const QString &companyField,
                   const QString &rightsField);

} // namespace DefaultsProfile
