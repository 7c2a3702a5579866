// Everything of the Notes stand-in's class library in one include.
#pragma once
#include "platform/notes/LNAttachment.h"
#include "platform/notes/LNDatabase.h"
#include "platform/notes/LNErrors.h"
#include "platform/notes/LNItem.h"
#include "platform/notes/LNMail.h"
#include "platform/notes/LNNote.h"
#include "platform/notes/LNRichText.h"
#include "platform/notes/LNString.h"
