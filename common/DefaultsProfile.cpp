#include "DefaultsProfile.h"

#include "ClsCL0010GF.h"
#include "Cp932.h"

namespace {

constexpr char section[] = "OPTION";
constexpr char companyKey[] = "COMPANY";
constexpr char rightsKey[] = "RIGHTS";

QString profilePath()
{
    return ClsCL0010GF.GetApplicationDirectory() + QLatin1String(DefaultsProfile::fileName);
}

QString readText(const char *key)
{
    const QByteArray bytes = ClsCL0010GF.ReadProfileString(profilePath(), section, key, {});
    return Cp932::decode(bytes).value_or(QString());
}

} // namespace

namespace DefaultsProfile {

Defaults ReadDefaults()
{
    Defaults defaults;
    defaults.company = readText(companyKey);
    defaults.rights = readText(rightsKey);
    return defaults;
}

bool WriteDefaults(const Defaults &defaults, const QString &companyField,
                   const QString &rightsField)
{
    const QByteArray company = Cp932::encode(defaults.company, companyField);
    const QByteArray rights = Cp932::encode(defaults.rights, rightsField);
    return ClsCL0010GF.WriteProfileString(profilePath(), section, companyKey, company)
        && ClsCL0010GF.WriteProfileString(profilePath(), section, rightsKey, rights);
}

} // namespace DefaultsProfile
