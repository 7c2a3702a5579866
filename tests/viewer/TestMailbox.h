// A small mail database for the viewer tests: folders and views of every
// kind the discovery rules tell apart, mails, contacts and a group.
#pragma once

namespace viewertest {

inline constexpr char kTestMailbox[] = R"json({
  "title": "Viewer test",
  "forms": {
    "Memo": [{"name": "Subject", "type": "text"}, {"name": "From", "type": "text"},
             {"name": "SendTo", "type": "text"}, {"name": "PostedDate", "type": "datetime"},
             {"name": "Body", "type": "richtext"}],
    "Person": [{"name": "LastName", "type": "text"}, {"name": "FirstName", "type": "text"},
               {"name": "FullNameInput", "type": "text"}],
    "Group": [{"name": "Members", "type": "text"}, {"name": "ListName", "type": "text"}]
  },
  "documents": [
    {"noteId": 2304, "form": "Memo", "created": "2013-03-05T14:07:09+01:00",
     "items": {"Subject": "First", "From": "CN=John Smith/O=Acme",
               "SendTo": ["CN=Jane Doe/O=Acme", "bob@example.com"], "INetSendTo": [".", "bob@example.com"],
               "PostedDate": {"datetime": "2013-03-06T09:05:03+01:00"}},
     "attachments": [{"name": "a.txt", "text": "hello"}]},
    {"noteId": 2308, "form": "Memo", "created": "2013-03-05T14:07:09+01:00",
     "items": {"Subject": "No date", "From": "CN=John Smith/O=Acme", "SendTo": "CN=Jane Doe/O=Acme"}},
    {"noteId": 2312, "form": "Memo", "created": "2014-01-02T08:00:00+01:00",
     "items": {"Subject": "Third", "From": "CN=John Smith/O=Acme", "SendTo": "CN=Bob/O=Acme",
               "INetSendTo": ". ; .", "AltSendTo": "alt@example.com",
               "PostedDate": {"datetime": "2014-12-31T23:59:58+01:00"}}},
    {"noteId": 2400, "form": "Person", "items": {"FirstName": "Maria", "FullNameInput": "Maria Smith"}},
    {"noteId": 2404, "form": "Person", "items": {"LastName": "Only", "FullNameInput": "Full Only"}},
    {"noteId": 2408, "form": "Group", "items": {"ListName": "Board", "Members": ["a", "b"]}}
  ],
  "views": [
    {"name": "($Inbox)", "folder": true, "noteId": 8200, "entries": [2304, 2308, null, 2312]},
    {"name": "($Inbox)", "folder": false, "noteId": 8204, "entries": [2304]},
    {"name": "($Sent)", "folder": false, "noteId": 8208, "type": 0, "entries": [2304]},
    {"name": "($Drafts)", "folder": false, "noteId": 8212, "type": 1, "entries": [2308]},
    {"name": "($All)", "folder": false, "noteId": 8216, "entries": [2304, 2308, 2312]},
    {"name": "($ByCategory)", "folder": false, "noteId": 8220, "entries": []},
    {"name": "($Alarms)", "folder": true, "noteId": 8224, "entries": []},
    {"name": "By Sender", "folder": false, "noteId": 8228, "entries": [2304]},
    {"name": "My Contacts", "folder": false, "noteId": 8232, "entries": [2400, 2404, 2408]},
    {"name": "Archive", "folder": true, "noteId": 8236, "entries": []},
    {"name": "Projects\\2018", "folder": true, "noteId": 8240, "entries": [2308]},
    {"name": "Projects", "folder": true, "noteId": 8244, "entries": [2304]},
    {"name": "Re: Q1 <draft>", "folder": true, "noteId": 8248, "entries": [2304]}
  ]
})json";

}  // namespace viewertest
