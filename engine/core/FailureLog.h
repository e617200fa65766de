#pragma once

// Why a call failed, in the words of the library that failed it (SDL, EGL,
// GL, OpenAL, GTK, iconv or the C library): one line on standard error,
// "what: why", beside whatever the caller shows the user. The user's
// message boxes keep their fixed texts; this line is what a bug report
// quotes.
void LogFailure(const char* what, const char* why);

// The C library's text for errno as it is now.
const char* ErrnoText();
