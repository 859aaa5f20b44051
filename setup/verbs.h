// The command verbs: one administrative action per run, without a wizard, for other programs and scripts.
//   ADMIN:value                          asks the hook library (code 256); printer results are confirmed
//   WRITEREG:subkey|name|text            text and a zero byte as REG_BINARY under HKLM "Software\Orvik\"
//   WRITEHEXREG:subkey|name|hex|quiet    the decoded bytes as REG_BINARY, silent when quiet is not 0
//   DELETEREG:subkey|name                deletes the value
//   COPYFILE:source|destination|overwrite
//   DELETEFILE:file
// Each is given as "/VERB:value" or "-VERB value".
#pragma once

// Runs the first verb present among the program arguments and sets exitcode to its result. Returns 1 when a
// verb was handled (setup then does nothing else), 0 when there was none.
int RunCommandVerb(int& exitcode);
