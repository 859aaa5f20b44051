// The licence agreement's text: which language and file a run shows, the built-in agreement when the
// package brings none, and the text as the licence page shows and prints it. Free of any window system.
#pragma once

#include "lib/strings.h"

// The licence language: 49 German, 12 French, anything else English. messagecode is the language library's
// licence code (message 2984); a German-speaking nation (geoid 94, 223, 14) makes it German. geoid -1: the
// system cannot tell.
int LicenceLanguageCode(const STRING& messagecode, long geoid);
// "LIZENZ.TXT", "LICENSEFR.TXT" or "LICENSE.TXT".
const char* LicenceFileName(int languagecode);
// The built-in licence agreement (German for 49, English otherwise), with "$PROGRAM" in it.
const char* EmbeddedLicenceText(int languagecode);
// "$PROGRAM" replaced by the product title and every line ending made CR LF (what an edit control shows).
STRING PrepareLicenceText(const STRING& text, const STRING& producttitle);
