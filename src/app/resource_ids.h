#pragma once
// Resource ids shared by murmuro.rc and the code. Kept free of C++ so the resource compiler can
// read it too.

// The program icon. It is the first icon resource, so Explorer shows it for the file.
#define IDI_MURMURO 1
