// The mail-folder pass: converts the documents of one Notes view or folder
// from the saved position into the PST folder of the run record, one item per
// document, writing the record before every document so that a new process
// can resume where this one stopped. Calendar documents are only noted in
// cal.txt for the calendar run.
#pragma once
#include <cstdint>
#include <string>

#include "platform/store/Dispatch.h"
#include "worker/core/ConversionPasses.h"

class CNsfConverter;

void RunFolder(CNsfConverter& converter, const MailRunInput& input, const store::DispatchPtr& session);
