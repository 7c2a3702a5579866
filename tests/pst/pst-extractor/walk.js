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

const { OutlookProperties } = require('pst-extractor/dist/OutlookProperties');

const MEETING = OutlookProperties.PSETID_Meeting;
const COMMON = OutlookProperties.PSETID_Common;
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

// Minutes since 1601 (the recurrence blob's dates) as an ISO text.
const minutesIso = (n) => new Date(n * 60000 - 11644473600000).toISOString();

// What pst-extractor's RecurrencePattern leaves out of an appointment's
// recurrence blob (MS-OXOCAL AppointmentRecurrencePattern): the deleted and
// modified instance dates, the pattern's own start and end dates, the
// occurrences' start and end time of day and each exception's new start,
// end and original date (all in the series' local time).
function instances(raw) {
  const specific = { 0: 0, 1: 4, 2: 4, 3: 8, 4: 4, 10: 4, 11: 8, 12: 4 }[raw.readUInt16LE(6)];
  if (specific === undefined) return null;
  let at = 22 + specific + 12;
  const dates = () => {
    const n = raw.readUInt32LE(at);
    const list = [];
    for (let i = 0; i < n; i++) list.push(minutesIso(raw.readUInt32LE(at + 4 + 4 * i)));
    at += 4 + 4 * n;
    return list;
  };
  const deleted = dates();
  const modified = dates();
  const result = { deleted, modified, startDate: minutesIso(raw.readUInt32LE(at)),
    endDate: minutesIso(raw.readUInt32LE(at + 4)), exceptions: [] };
  at += 8 + 8;  // ReaderVersion2, WriterVersion2
  if (at + 10 > raw.length) return result;
  // Minutes from the local midnight of each occurrence to its start and end.
  result.startTimeOffset = raw.readUInt32LE(at);
  result.endTimeOffset = raw.readUInt32LE(at + 4);
  at += 8;
  const count = raw.readUInt16LE(at);
  at += 2;
  for (let i = 0; i < count; i++) {
    const flags = raw.readUInt16LE(at + 12);
    result.exceptions.push({ start: minutesIso(raw.readUInt32LE(at)), end: minutesIso(raw.readUInt32LE(at + 4)),
      originalStart: minutesIso(raw.readUInt32LE(at + 8)), flags });
    at += 14;
    // Subject and location: two lengths, then the 8-bit text; the others 4 bytes.
    for (const [flag, text] of [[0x1, true], [0x2], [0x4], [0x8], [0x10, true], [0x20], [0x40], [0x80], [0x100]]) {
      if (!(flags & flag)) continue;
      at += text ? 4 + raw.readUInt16LE(at + 2) : 4;
    }
  }
  return result;
}

// The recurrence of an appointment (PidLidAppointmentRecur) or a task
// (PidLidTaskRecurrence) as pst-extractor decodes it.
function recurrence(m) {
  let pattern = null;
  let extra = null;
  if (m.recurrenceStructure !== undefined) {
    const raw = m.recurrenceStructure;
    if (raw && raw.length) {
      pattern = new RecurrencePattern(raw);
      extra = instances(raw);
    }
  } else if (m.taskRecurrencePattern !== undefined) {
    pattern = m.taskRecurrencePattern;
  }
  return pattern ? Object.assign(pattern.toJSON(), extra ? { instances: extra } : {}) : null;
}

// A named property of the meeting or common set, read as pst-extractor
// maps names to property IDs.
function named(m, lid, set, read) {
  const id = m.pstFile.getNameToIdMapItem(lid, set);
  return id === -1 ? null : read.call(m, id);
}

const bytesHex = (b) => (b && b.length ? Buffer.from(b).toString('hex').toUpperCase() : null);

function message(m) {
  const entry = {
    class: m.messageClass,
    subject: m.subject,
    created: iso(m.creationTime),
    modified: iso(m.modificationTime),
    messageId: m.internetMessageId || null,
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
      stateFlags: m.meetingStatus,
      responseStatus: m.responseStatus,
      globalObjectId: bytesHex(named(m, 0x0003, MEETING, m.getBinaryItem)),
      cleanGlobalObjectId: bytesHex(named(m, 0x0023, MEETING, m.getBinaryItem)),
      recurrence: recurrence(m),
    };
  } else if (m.taskStartDate !== undefined && m.messageClass.startsWith('IPM.Task')) {
    entry.task = {
      start: iso(m.taskStartDate),
      due: iso(m.taskDueDate),
      commonStart: iso(named(m, 0x8516, COMMON, m.getDateItem)),
      commonEnd: iso(named(m, 0x8517, COMMON, m.getDateItem)),
      recurrence: recurrence(m),
    };
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
