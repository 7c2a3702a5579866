#!/usr/bin/env node
// Opens a PST with pst-extractor and walks every folder, message, recipient
// and attachment (embedded messages included), printing one JSON object per
// line: {"message": ...} for each message as it is read, {"folder": ...} for
// each folder after its messages, and {"end": ...} last. A failure prints
// {"error": ...} and exits 1.
//
// usage: node walk.js FILE.pst   (pst-extractor found through NODE_PATH)
'use strict';
const crypto = require('crypto');
const { PSTFile } = require('pst-extractor');
const { RecurrencePattern } = require('pst-extractor/dist/RecurrencePattern.class');

const out = (obj) => process.stdout.write(JSON.stringify(obj) + '\n');
const hex = (n) => (n >>> 0).toString(16).toUpperCase().padStart(4, '0');
const iso = (d) => (d ? d.toISOString() : null);

// The property IDs of the cells a recipient row or an attachment has; read
// from the object's table items, which the typings keep protected.
function cellIds(obj) {
  const items = obj.pstTableItems;
  return items ? [...items.keys()].map(hex).sort() : null;
}

function recipient(r) {
  return {
    name: r.displayName,
    email: r.emailAddress,
    addrType: r.addrType,
    type: r.recipientType,
    ids: cellIds(r),
  };
}

function attachment(a) {
  const entry = {
    name: a.longFilename || a.filename,
    method: a.attachMethod,
    size: a.filesize,
    ids: cellIds(a),
  };
  const embedded = a.attachMethod === 5 ? a.embeddedPSTMessage : null;
  if (embedded) {
    entry.embedded = message(embedded);
    return entry;
  }
  const stream = a.fileInputStream;
  if (stream) {
    const hash = crypto.createHash('sha256');
    const buffer = Buffer.alloc(8176);
    let total = 0;
    for (let n = stream.read(buffer); n > 0; n = stream.read(buffer)) {
      hash.update(buffer.subarray(0, n));
      total += n;
    }
    entry.bytes = total;
    entry.sha256 = hash.digest('hex');
  }
  return entry;
}

// The recurrence of an appointment (PidLidAppointmentRecur) or a task
// (PidLidTaskRecurrence) as pst-extractor decodes it.
function recurrence(m) {
  let pattern = null;
  if (m.recurrenceStructure !== undefined) {
    const raw = m.recurrenceStructure;
    if (raw && raw.length) pattern = new RecurrencePattern(raw);
  } else if (m.taskRecurrencePattern !== undefined) {
    pattern = m.taskRecurrencePattern;
  }
  return pattern ? pattern.toJSON() : null;
}

function message(m) {
  const entry = {
    class: m.messageClass,
    subject: m.subject,
    recipients: [],
    attachments: [],
  };
  for (let i = 0; i < m.numberOfRecipients; i++) entry.recipients.push(recipient(m.getRecipient(i)));
  for (let i = 0; i < m.numberOfAttachments; i++) entry.attachments.push(attachment(m.getAttachment(i)));
  if (m.startTime !== undefined) {
    entry.appointment = {
      start: iso(m.startTime),
      end: iso(m.endTime),
      allDay: m.subType,
      recurring: m.isRecurring,
      recurrenceType: m.recurrenceType,
      recurrence: recurrence(m),
    };
  } else if (m.taskStartDate !== undefined && m.messageClass.startsWith('IPM.Task')) {
    entry.task = { start: iso(m.taskStartDate), due: iso(m.taskDueDate), recurrence: recurrence(m) };
  }
  return entry;
}

function walk(folder, path, totals) {
  let count = 0;
  if (folder.contentCount > 0) {
    for (let m = folder.getNextChild(); m; m = folder.getNextChild()) {
      out({ message: Object.assign({ folder: path }, message(m)) });
      ++count;
    }
  }
  const subfolders = folder.hasSubfolders ? folder.getSubFolders() : [];
  out({
    folder: {
      path,
      containerClass: folder.containerClass,
      contentCount: folder.contentCount,
      unreadCount: folder.unreadCount,
      messages: count,
      subfolders: subfolders.length,
    },
  });
  totals.folders += 1;
  totals.messages += count;
  for (const sub of subfolders) walk(sub, path + '/' + sub.displayName, totals);
}

try {
  const file = new PSTFile(process.argv[2]);
  const totals = { folders: 0, messages: 0 };
  const root = file.getRootFolder();
  walk(root, '', totals);
  out({ end: Object.assign({ store: file.getMessageStore().displayName }, totals) });
  file.close();
} catch (e) {
  out({ error: String((e && e.stack) || e) });
  process.exit(1);
}
