// The calendar pass: converts the calendar entries listed in cal.txt into
// appointments of the PST's calendar, at most 99 per run, resuming from the
// position of the run record.
#pragma once
#include "platform/store/Dispatch.h"

class CNsfConverter;

void RunCalendar(CNsfConverter& converter, const store::DispatchPtr& session);
