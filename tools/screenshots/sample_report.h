#pragma once

#include "check/check_report.h"

// A report of hundreds of findings of every kind on a Debian machine, most of
// them made by three package upgrades that explain them, the rest not, in no
// order of name; the changed files hold what they were and are. Made up, so
// that the report window can be seen full without upgrading anything.
CheckReport SampleReport(int findings = 300);
