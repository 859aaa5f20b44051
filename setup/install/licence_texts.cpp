// The licence agreements shown when the package brings no licence file of its own ("$PROGRAM" becomes the
// product's name and version; code page 1252), and the rules that choose and prepare a licence text.
#include "setup/install/licence_texts.h"

#include <cstdlib>

namespace {

constexpr long GEO_GERMANY = 94;
constexpr long GEO_SWITZERLAND = 223;
constexpr long GEO_AUSTRIA = 14;
constexpr int LICENCE_GERMAN = 49;
constexpr int LICENCE_FRENCH = 12;

const char* const ENGLISH_LICENCE =
    "LICENCE AGREEMENT FOR $PROGRAM\n"
    "\n"
    "Please read this agreement carefully before you install $PROGRAM. By installing or using the software "
    "you agree to be bound by its terms. If you do not agree, do not install the software.\n"
    "\n"
    "1. Licence. You are granted a non-exclusive, non-transferable right to install and use $PROGRAM on the "
    "computers of your organisation for your own business purposes.\n"
    "\n"
    "2. Restrictions. You may not rent, lease, sublicense or lend the software, and you may not reverse "
    "engineer, decompile or disassemble it except where the law expressly allows it.\n"
    "\n"
    "3. Copies. You may make copies of the software for backup and archival purposes. Every copy must keep "
    "the copyright notices of the original.\n"
    "\n"
    "4. Ownership. The software is licensed, not sold. The maker keeps all rights, title and interest in the "
    "software and in every copy of it.\n"
    "\n"
    "5. Warranty. The software is provided \"as is\". The maker does not warrant that it is free of errors "
    "or that it will run without interruption.\n"
    "\n"
    "6. Liability. To the extent the law allows, the maker is not liable for any indirect or consequential "
    "damage, lost data or lost profit arising from the use of the software.\n"
    "\n"
    "7. Termination. This licence ends automatically if you fail to comply with its terms. You must then "
    "destroy all copies of the software.\n"
    "\n"
    "8. Law. This agreement is governed by the law of the maker's place of business.\n";

const char* const GERMAN_LICENCE =
    "LIZENZVERTRAG F\xDCR $PROGRAM\n"
    "\n"
    "Bitte lesen Sie diesen Vertrag sorgf\xE4ltig, bevor Sie $PROGRAM installieren. Mit der Installation "
    "oder Nutzung der Software erkl\xE4ren Sie sich mit seinen Bedingungen einverstanden. Wenn Sie nicht "
    "einverstanden sind, installieren Sie die Software nicht.\n"
    "\n"
    "1. Lizenz. Sie erhalten das nicht ausschlie\xDFliche, nicht \xFC"
    "bertragbare Recht, $PROGRAM auf den Computern Ihres Unternehmens f\xFCr eigene Zwecke zu installieren "
    "und zu nutzen.\n"
    "\n"
    "2. Einschr\xE4nkungen. Sie d\xFCrfen die Software weder vermieten, verleihen noch unterlizenzieren und "
    "sie nicht zur\xFC"
    "ckentwickeln, dekompilieren oder disassemblieren, soweit das Gesetz dies nicht ausdr\xFC"
    "cklich erlaubt.\n"
    "\n"
    "3. Kopien. Sie d\xFCrfen Kopien der Software zur Datensicherung anfertigen. Jede Kopie muss die "
    "Urheberrechtsvermerke des Originals tragen.\n"
    "\n"
    "4. Eigentum. Die Software wird lizenziert, nicht verkauft. Alle Rechte an der Software und an jeder "
    "Kopie bleiben beim Hersteller.\n"
    "\n"
    "5. Gew\xE4hrleistung. Die Software wird ohne Gew\xE4hr \xFC"
    "berlassen. Der Hersteller sichert nicht zu, dass sie fehlerfrei oder ohne Unterbrechung l\xE4uft.\n"
    "\n"
    "6. Haftung. Soweit gesetzlich zul\xE4ssig, haftet der Hersteller nicht f\xFCr mittelbare Sch\xE4"
    "den, Datenverlust oder entgangenen Gewinn aus der Nutzung der Software.\n"
    "\n"
    "7. Beendigung. Diese Lizenz endet von selbst, wenn Sie gegen ihre Bedingungen versto\xDF"
    "en. Sie m\xFCssen dann alle Kopien der Software vernichten.\n"
    "\n"
    "8. Recht. Es gilt das Recht am Sitz des Herstellers.\n";

} // namespace

const char* EmbeddedLicenceText(int languagecode) {
    return languagecode == LICENCE_GERMAN ? GERMAN_LICENCE : ENGLISH_LICENCE;
}

int LicenceLanguageCode(const STRING& messagecode, long geoid) {
    if (geoid == GEO_GERMANY || geoid == GEO_SWITZERLAND || geoid == GEO_AUSTRIA)
        return LICENCE_GERMAN;
    return messagecode.NotNull() ? std::atoi(messagecode.c_str()) : 0;
}

const char* LicenceFileName(int languagecode) {
    if (languagecode == LICENCE_GERMAN)
        return "LIZENZ.TXT";
    if (languagecode == LICENCE_FRENCH)
        return "LICENSEFR.TXT";
    return "LICENSE.TXT";
}

STRING PrepareLicenceText(const STRING& text, const STRING& producttitle) {
    STRING prepared = text;
    prepared.MakeNotNull();
    STRING title = producttitle;
    title.MakeNotNull();
    prepared.Replace("$PROGRAM", title.Text());
    prepared.Replace("\r\n", "\n");
    prepared.Replace("\n", "\r\n");
    return prepared;
}
