// The kinds of Notes document the conversion knows, by form name: mail,
// tasks, calendar entries, contacts and groups; any other form is not
// converted.
#pragma once
#include <string>

enum class EFormKind { Mail, Task, Calendar, Contact, DistList, Unknown };
// Form names compared exactly, case included.
EFormKind FormKindOf(const std::u16string& formName);
