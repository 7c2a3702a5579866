#include "platform/notes/LNRichText.h"

#include "platform/notes/LNAttachment.h"
#include "platform/notes/MimeBody.h"
#include "platform/notes/NotesState.h"
#include "platform/sys/Files.h"
#include "platform/sys/Text.h"

using notes::CRichTextState;
using notes::CRtElement;

LNRichText::LNRichText(const LNItem& item) {
    if (LNSTATUS s = Assign(item.Data())) throw s;
    if (data && data->Type() != TYPE_COMPOSITE && data->Type() != TYPE_MIME_PART) {
        LNText text(item);
        SetPlainText(text.GetText());
    } else if (data) {
        SetParts({data}, nullptr);
    }
}

LNRichText& LNRichText::operator=(const LNItem& item) {
    *this = LNRichText(item);
    return *this;
}

bool LNRichText::Accepts(WORD t) const {
    return t == TYPE_COMPOSITE || t == TYPE_MIME_PART || t == TYPE_TEXT || t == TYPE_TEXT_LIST;
}

void LNRichText::SetParts(std::vector<std::shared_ptr<const notes::CItemData>> parts,
                          std::shared_ptr<const notes::CItemData> links) {
    auto s = std::make_shared<CRichTextState>();
    std::vector<std::string> raws;
    if (!parts.empty() && parts.front()->Type() == TYPE_MIME_PART) {
        for (const auto& p : parts)
            if (p->Type() == TYPE_MIME_PART) raws.push_back(p->raw);
        s->mime = std::make_shared<notes::CMimeBody>(raws, nullptr);
        state = s;
        return;
    }
    for (const auto& p : parts)
        if (p->Type() == TYPE_COMPOSITE) raws.push_back(p->raw);
    notes::CRtDecoded decoded = notes::DecodeRichTextItems(raws);
    if (decoded.damagedRecords > 0 && !notes::ShowsAnything(decoded.elements))
        throw static_cast<LNSTATUS>(ERR_CD_RECORD);
    s->elements = std::move(decoded.elements);
    s->damagedRecords = decoded.damagedRecords;
    if (links)
        if (auto decoded = notes::DecodeNoteLinks(links->raw)) s->links = *decoded;
    state = s;
}

void LNRichText::SetState(std::shared_ptr<notes::CRichTextState> field) { state = std::move(field); }

void LNRichText::SetPlainText(const LNString& text) {
    auto s = std::make_shared<CRichTextState>();
    s->plainOnly = true;
    s->plain = text.GetBytes();
    state = s;
}

std::shared_ptr<CRichTextState> LNRichText::State() const {
    if (!state) state = std::make_shared<CRichTextState>();
    return state;
}

LNString LNRichText::GetText() const {
    return LNString(notes::PlainText(*State()));
}

LNINT LNRichText::GetDamagedRecordCount() const { return State()->damagedRecords; }

LNSTATUS LNRichText::GetCursor(LNRTCursor* cursor) const {
    if (!cursor) return ERR_BAD_PARAM;
    cursor->state = State();
    cursor->position = -1;
    return LNNOERROR;
}

LNSTATUS LNRTCursor::GotoFirst(LNRTTYPE type, LNRTObject* object) {
    position = -1;
    return GotoNext(type, object);
}

LNSTATUS LNRTCursor::GotoNext(LNRTTYPE type, LNRTObject* object) {
    if (!state) return ERR_BAD_PARAM;
    if (type != LNRTTYPE_DOCUMENT_LINK) return ERR_NOT_FOUND;
    for (size_t i = static_cast<size_t>(position + 1); i < state->elements.size(); ++i) {
        if (state->elements[i].kind == CRtElement::kLink) {
            position = static_cast<LNINT>(i);
            return Fill(object);
        }
    }
    position = static_cast<LNINT>(state->elements.size());
    return ERR_NOT_FOUND;
}

LNSTATUS LNRTCursor::Fill(LNRTObject* object) const {
    auto* link = dynamic_cast<LNDatabaseLink*>(object);
    if (!link) return LNNOERROR;
    const auto& e = state->elements[static_cast<size_t>(position)];
    auto data = std::make_shared<notes::CLinkData>();
    data->link = notes::LinkTarget(*state, e);
    data->description = e.text;
    data->serverHint = e.serverHint;
    link->Assign(data);
    return LNNOERROR;
}

TIMEDATE LNDatabaseLink::GetDatabaseReplicaID() const { return data ? data->link.file : TIMEDATE{}; }
LNString LNDatabaseLink::GetDescription() const { return data ? LNString(data->description) : LNString(); }
LNString LNDatabaseLink::GetServerHint() const { return data ? LNString(data->serverHint) : LNString(); }
UNID LNViewLink::GetViewUniversalID() const { return data ? data->link.view : UNID{}; }
UNID LNDocumentLink::GetDocumentUniversalID() const { return data ? data->link.note : UNID{}; }

LNString LNAttachment::GetAttachmentName() const { return data ? LNString(data->file.name) : LNString(); }
LNINT LNAttachment::GetFileSize() const { return data ? static_cast<LNINT>(data->file.fileSize) : 0; }

// The bytes go from the database to the file a piece at a time; a detach
// that fails leaves no file behind.
LNSTATUS LNAttachment::Detach(const LNString& path) const {
    if (!data) return ERR_INVALID_NOTE;
    if (!data->db->file) return ERR_DB_NOT_OPEN;
    const std::u16string target = sys::LmbcsToUtf16(path.GetBytes());
    sys::CFile out;
    if (!out.CreateOrTruncate(target)) return ERR_FILE_WRITE;
    bool written = true;
    auto write = [&out, &written](std::string_view piece) { written = written && out.Write(piece); };
    LNSTATUS status = LNNOERROR;
    try {
        if (data->bytes) write(*data->bytes);
        else if (!data->db->file->CopyObject(data->file, write)) status = ERR_DB_CORRUPT;
    } catch (const notes::CNoteUnreadable& unreadable) {
        status = unreadable.status;
    } catch (const notes::CNsfError&) {
        status = ERR_DB_CORRUPT;
    }
    if (status == LNNOERROR && !written) status = ERR_FILE_WRITE;
    out.Close();
    if (status != LNNOERROR) sys::DeleteFile(target);
    return status;
}
