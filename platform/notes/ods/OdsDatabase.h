// A real NSF file as the LN classes read it: notes by ID and class, forms
// with their fields, views and folders with their entries, attachment bytes.
// Folder entries come from the folder references documents keep; the
// entries of the mail template's views are computed (MailViews.h). Every
// document that no folder and no view but "($All)" lists is an entry of
// one more folder, kUnfiledFolderName, so that no document of the file is
// left out of a conversion.
#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/notes/NotesSource.h"
#include "platform/notes/ods/MailViews.h"
#include "platform/notes/ods/OdsContainer.h"

namespace notes::ods {

using notes::kUnfiledFolderId;
using notes::kUnfiledFolderName;

class COdsDatabase : public CNotesSource {
public:
    explicit COdsDatabase(const std::string& path);

    std::string Title() const override { return container.Title(); }
    DBID ReplicaId() const override { return container.ReplicaId(); }
    std::optional<CNoteRow> ReadNote(NOTEID id) override;
    std::vector<NOTEID> NoteIds(int noteClass) override;
    std::vector<CViewRow> ReadViews(bool withEntries) override;
    std::optional<CViewRow> ReadView(NOTEID id) override;
    std::vector<CFormRow> ReadForms() override;
    std::optional<CFormRow> ReadForm(const std::string& name) override;
    std::optional<std::string> ReadObject(const CFileObject& file) override;
    // Encrypted notes need the private key of a Notes ID, which is not here.
    bool CanDecrypt() const override { return false; }

    const COdsContainer& Container() const { return container; }

private:
    struct CViewNote {
        CViewRow row;     // without entries
        UNID unid{};
        std::optional<EMailView> mailView;
    };
    const std::map<NOTEID, int>& Classes();
    const std::vector<CViewNote>& ViewNotes();
    const std::vector<CDocumentFacts>& Facts();
    const std::vector<CViewRow>& ViewsWithEntries();
    std::vector<CViewEntry> FolderEntries(const CViewNote& view);

    COdsContainer container;
    std::recursive_mutex lock;
    std::optional<std::map<NOTEID, int>> classes;
    std::optional<std::vector<CViewNote>> viewNotes;
    std::optional<std::vector<CDocumentFacts>> facts;
    std::optional<std::vector<CViewRow>> views;
    std::optional<std::vector<CFormRow>> forms;
};

std::unique_ptr<CNotesSource> OpenOdsDatabase(const std::string& path);

}  // namespace notes::ods
