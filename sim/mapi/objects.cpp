// The interfaces of the simulated message store: session, stores, folders, messages, tables.
#include <algorithm>
#include <cstring>

#include "sim/mapi/internal.h"

namespace sim::mapi {

namespace {

Phone& ThePhone()
{
    return Phone::Get();
}

sim::Fields Result(HRESULT result)
{
    return {{"result", sim::HResult{static_cast<std::uint32_t>(result)}}};
}

WString Name(const Object* object)
{
    return object == nullptr ? WTEXT("(gone)") : object->Text(PR_DISPLAY_NAME_W);
}

// The display name of the store that holds the object the identifier names.
WString StoreName(const EntryId& id, Kind kind)
{
    const auto found = Locate(id, kind);
    return found && found->store != nullptr ? Name(found->store) : WString();
}

template <class Base>
class PropObject : public Counted<Base>, public PropSource {
public:
    PropObject(Interface label, EntryId id, Kind kind)
        : Counted<Base>(std::move(label)), id_(std::move(id)), kind_(kind)
    {
    }

    [[nodiscard]] Object* Data() const override
    {
        const auto found = Locate(id_, kind_);
        return found ? found->object : nullptr;
    }

    HRESULT GetProps(LPSPropTagArray lpPropTagArray, ULONG /*ulFlags*/, ULONG* lpcValues,
                     LPSPropValue* lppPropArray) override
    {
        if (!this->Enter("IMAPIProp::GetProps") || ThePhone().ShouldFail("IMAPIProp::GetProps")) {
            return MAPI_E_CALL_FAILED;
        }
        const std::vector<ULONG> tags(&lpPropTagArray->aulPropTag[0],
                                      &lpPropTagArray->aulPropTag[0] + lpPropTagArray->cValues);
        bool missing = false;
        *lppPropArray = PackValues(Data(), tags, missing);
        *lpcValues = lpPropTagArray->cValues;
        return missing ? MAPI_W_ERRORS_RETURNED : S_OK;
    }

    HRESULT SetProps(ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) override
    {
        if (!this->Enter("IMAPIProp::SetProps") || ThePhone().ShouldFail("IMAPIProp::SetProps")) {
            return MAPI_E_CALL_FAILED;
        }
        Object* object = Data();
        if (object == nullptr) {
            return MAPI_E_NOT_FOUND;
        }
        for (ULONG i = 0; i < cValues; ++i) {
            const SPropValue& value = lpPropArray[i];
            Prop prop{value.ulPropTag, {}, {}, value.Value.ft, value.Value.l};
            if (PROP_TYPE(value.ulPropTag) == PT_UNICODE && value.Value.lpszW != nullptr) {
                prop.text = value.Value.lpszW;
            } else if (PROP_TYPE(value.ulPropTag) == PT_BINARY && value.Value.bin.lpb != nullptr) {
                prop.bytes.assign(value.Value.bin.lpb, value.Value.bin.lpb + value.Value.bin.cb);
            }
            object->SetProp(prop);
        }
        if (lppProblems != nullptr) {
            *lppProblems = nullptr;
        }
        return S_OK;
    }

private:
    EntryId id_;
    Kind kind_;
};

// The rows a table walks, one object each.
class TableObject : public Counted<IMAPITable> {
public:
    TableObject(Interface label, std::vector<ULONG> columns)
        : Counted<IMAPITable>(std::move(label)), columns_(std::move(columns))
    {
    }

    HRESULT SetColumns(LPSPropTagArray lpPropTagArray, ULONG ulFlags) override
    {
        std::vector<ULONG> columns(&lpPropTagArray->aulPropTag[0],
                                   &lpPropTagArray->aulPropTag[0] + lpPropTagArray->cValues);
        sim::Fields given;
        for (const ULONG column : columns) {
            given.push_back({"column", sim::Hex{column}});
        }
        given.push_back({"flags", sim::Int(ulFlags)});
        const bool fails = ThePhone().ShouldFail("IMAPITable::SetColumns");
        const HRESULT result = fails ? MAPI_E_CALL_FAILED : S_OK;
        if (!Enter("IMAPITable::SetColumns", std::move(given), Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (!fails) {
            columns_ = std::move(columns);
        }
        return result;
    }

    HRESULT GetRowCount(ULONG ulFlags, ULONG* lpulCount) override
    {
        const HRESULT result = ThePhone().ShouldFail("IMAPITable::GetRowCount") ? MAPI_E_CALL_FAILED : S_OK;
        const ULONG count = SUCCEEDED(result) ? Count() : 0;
        sim::Fields outcome = Result(result);
        outcome.push_back({"count", sim::Int(count)});
        if (!Enter("IMAPITable::GetRowCount", {{"flags", sim::Int(ulFlags)}}, std::move(outcome))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lpulCount = count;
        }
        return result;
    }

    HRESULT SeekRow(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) override
    {
        HRESULT result = S_OK;
        if (ThePhone().ShouldFail("IMAPITable::SeekRow")) {
            result = MAPI_E_CALL_FAILED;
        } else if (bkOrigin != BOOKMARK_BEGINNING || lRowCount != 0) {
            result = MAPI_E_NO_SUPPORT;
        }
        if (!Enter("IMAPITable::SeekRow", {{"bookmark", sim::Int(bkOrigin)}, {"rows", sim::Int(lRowCount)}},
                   Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            Rewind();
            if (lplRowsSought != nullptr) {
                *lplRowsSought = 0;
            }
        }
        return result;
    }

    HRESULT QueryRows(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) override
    {
        const bool fails = ThePhone().ShouldFail("IMAPITable::QueryRows");
        std::vector<const Object*> objects;
        if (!fails && lRowCount > 0) {
            objects = Next(static_cast<std::size_t>(lRowCount));
        }
        const HRESULT result = fails ? MAPI_E_CALL_FAILED : S_OK;
        sim::Fields outcome = Result(result);
        outcome.push_back({"rows", sim::Int(objects.size())});
        if (!Enter("IMAPITable::QueryRows", {{"count", sim::Int(lRowCount)}, {"flags", sim::Int(ulFlags)}},
                   std::move(outcome))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppRows = RowSet(objects);
        }
        return result;
    }

protected:
    [[nodiscard]] virtual ULONG Count() const = 0;
    virtual void Rewind() = 0;
    virtual std::vector<const Object*> Next(std::size_t count) = 0;

private:
    [[nodiscard]] LPSRowSet RowSet(const std::vector<const Object*>& objects) const
    {
        const std::size_t size =
            offsetof(SRowSet, aRow) + std::max<std::size_t>(objects.size(), 1) * sizeof(SRow);
        std::byte* block = Allocate(size);
        const auto count = static_cast<ULONG>(objects.size());
        std::memcpy(block, &count, sizeof count);
        for (std::size_t i = 0; i < objects.size(); ++i) {
            const SRow row = Row(*objects[i]);
            std::memcpy(block + offsetof(SRowSet, aRow) + i * sizeof(SRow), &row, sizeof row);
        }
        return reinterpret_cast<LPSRowSet>(block);
    }

    // The object's values in the columns, its entry identifier shown as Object::listedId says.
    [[nodiscard]] SRow Row(const Object& object) const
    {
        const auto idColumn = std::find(columns_.begin(), columns_.end(), PR_ENTRYID);
        std::vector<ULONG> columns = columns_;
        if (idColumn != columns_.end() && object.listedId == ListedId::Absent) {
            columns.resize(static_cast<std::size_t>(idColumn - columns_.begin()));
        }
        bool missing = false;
        LPSPropValue values = PackValues(&object, columns, missing);
        if (idColumn != columns_.end() && object.listedId == ListedId::Error) {
            SPropValue& id = values[idColumn - columns_.begin()];
            id.ulPropTag = PROP_TAG(PT_ERROR, PROP_ID(PR_ENTRYID));
            id.Value.err = MAPI_E_NOT_FOUND;
        }
        return SRow{0, static_cast<ULONG>(columns.size()), values};
    }

    std::vector<ULONG> columns_;
};

class StoresTable : public TableObject {
public:
    StoresTable() : TableObject(Interface{"stores table", {}, {}}, {PR_ENTRYID, PR_DISPLAY_NAME_W}) {}

protected:
    [[nodiscard]] ULONG Count() const override { return static_cast<ULONG>(Stores().size()); }
    void Rewind() override { next_ = 0; }
    std::vector<const Object*> Next(std::size_t count) override
    {
        std::vector<const Object*> rows;
        for (; rows.size() < count && next_ < Stores().size(); ++next_) {
            rows.push_back(&Stores()[next_]);
        }
        return rows;
    }

private:
    std::size_t next_ = 0;
};

// Reads the folder as it is at each call, so that mail arriving or leaving shows at once.
class ContentsTable : public TableObject {
public:
    ContentsTable(EntryId folder, const WString& name, const WString& store)
        : TableObject(Interface{"contents table", name, store}, {PR_SUBJECT_W, PR_ENTRYID}),
          folder_(std::move(folder))
    {
    }

protected:
    [[nodiscard]] ULONG Count() const override
    {
        const Folder* folder = TheFolder();
        return folder == nullptr ? 0 : static_cast<ULONG>(folder->messages.size());
    }
    void Rewind() override { last_ = 0; }
    std::vector<const Object*> Next(std::size_t count) override
    {
        std::vector<const Object*> rows;
        const Folder* folder = TheFolder();
        if (folder == nullptr) {
            return rows;
        }
        for (auto at = folder->messages.upper_bound(last_);
             rows.size() < count && at != folder->messages.end(); ++at) {
            rows.push_back(&at->second);
            last_ = at->first;
        }
        return rows;
    }

private:
    [[nodiscard]] const Folder* TheFolder() const
    {
        const auto found = Locate(folder_, Kind::Folder);
        return found ? static_cast<const Folder*>(found->object) : nullptr;
    }

    EntryId folder_;
    std::uint32_t last_ = 0;  // the key of the last row read; 0 before the first
};

class FolderObject : public PropObject<IMAPIFolder> {
public:
    explicit FolderObject(const Folder& folder)
        : PropObject<IMAPIFolder>(Interface{"folder", Name(&folder), StoreName(folder.entryId, Kind::Folder)},
                                  folder.entryId, Kind::Folder)
    {
    }

    HRESULT GetContentsTable(ULONG ulFlags, LPMAPITABLE* lppTable) override
    {
        const Object* folder = Data();
        HRESULT result = S_OK;
        if (ThePhone().ShouldFail("IMAPIFolder::GetContentsTable")) {
            result = MAPI_E_NO_SUPPORT;
        } else if (folder == nullptr) {
            result = MAPI_E_NOT_FOUND;
        }
        if (!Enter("IMAPIFolder::GetContentsTable", {{"flags", sim::Int(ulFlags)}}, Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppTable = Hand<ContentsTable>(folder->entryId, Name(folder), Label().store);
        }
        return result;
    }
};

class MessageObject : public PropObject<IMessage> {
public:
    explicit MessageObject(const Message& message)
        : PropObject<IMessage>(
              Interface{"message", message.Text(PR_SUBJECT_W), StoreName(message.entryId, Kind::Message)},
              message.entryId, Kind::Message)
    {
    }
};

sim::Fields OpenArgs(ULONG size, LPENTRYID id, LPCIID iface, ULONG flags, const ULONG* objType)
{
    return {{"entry", EntryBytes(size, id)},
            {"interface", iface != nullptr},
            {"flags", sim::Hex{flags}},
            {"askingType", objType != nullptr}};
}

// Opens what the entry identifier names; within store when it is given.
template <class Made, class Data>
HRESULT OpenObject(const std::optional<Located>& found, const Store* store, Made*& made)
{
    if (!found || (store != nullptr && found->store != store)) {
        return MAPI_E_NOT_FOUND;
    }
    if (!found->object->opens) {
        return MAPI_E_CALL_FAILED;
    }
    made = Hand<Made>(*static_cast<const Data*>(found->object));
    return S_OK;
}

class StoreObject : public PropObject<IMsgStore> {
public:
    explicit StoreObject(const Store& store)
        : PropObject<IMsgStore>(Interface{"store", Name(&store), Name(&store)}, store.entryId, Kind::Store)
    {
    }

    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override
    {
        const auto* store = static_cast<const Store*>(Data());
        FolderObject* folder = nullptr;
        HRESULT result = MAPI_E_CALL_FAILED;
        if (store == nullptr || ThePhone().ShouldFail("IMsgStore::OpenEntry")) {
            result = MAPI_E_CALL_FAILED;
        } else {
            // As a real store does, no identifier at all opens the store's root folder.
            const auto found = cbEntryID == 0 ? Locate(store->folders.front().entryId, Kind::Folder)
                                              : Locate(cbEntryID, lpEntryID, Kind::Folder);
            result = OpenObject<FolderObject, Folder>(found, store, folder);
        }
        if (!Enter("IMsgStore::OpenEntry", OpenArgs(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType),
                   Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppUnk = folder;
        }
        return result;
    }
};

class SessionObject : public Counted<IMAPISession> {
public:
    SessionObject() : Counted<IMAPISession>(Interface{"session", {}, {}}) {}

    HRESULT GetMsgStoresTable(ULONG ulFlags, LPMAPITABLE* lppTable) override
    {
        const HRESULT result =
            ThePhone().ShouldFail("IMAPISession::GetMsgStoresTable") ? MAPI_E_CALL_FAILED : S_OK;
        if (!Enter("IMAPISession::GetMsgStoresTable", {{"flags", sim::Int(ulFlags)}}, Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppTable = Hand<StoresTable>();
        }
        return result;
    }

    HRESULT OpenMsgStore(ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface,
                         ULONG ulFlags, LPMDB* lppMDB) override
    {
        StoreObject* store = nullptr;
        HRESULT result = MAPI_E_CALL_FAILED;
        if (!ThePhone().ShouldFail("IMAPISession::OpenMsgStore")) {
            result =
                OpenObject<StoreObject, Store>(Locate(cbEntryID, lpEntryID, Kind::Store), nullptr, store);
        }
        sim::Fields given = OpenArgs(cbEntryID, lpEntryID, lpInterface, ulFlags, nullptr);
        given.insert(given.begin(), sim::Field{"ui", sim::Int(ulUIParam)});
        if (!Enter("IMAPISession::OpenMsgStore", std::move(given), Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppMDB = store;
        }
        return result;
    }

    HRESULT OpenEntry(ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
                      ULONG* lpulObjType, LPUNKNOWN* lppUnk) override
    {
        MessageObject* message = nullptr;
        HRESULT result = MAPI_E_CALL_FAILED;
        if (!ThePhone().ShouldFail("IMAPISession::OpenEntry")) {
            result = OpenObject<MessageObject, Message>(Locate(cbEntryID, lpEntryID, Kind::Message), nullptr,
                                                        message);
        }
        if (!Enter("IMAPISession::OpenEntry",
                   OpenArgs(cbEntryID, lpEntryID, lpInterface, ulFlags, lpulObjType), Result(result))) {
            return MAPI_E_CALL_FAILED;
        }
        if (SUCCEEDED(result)) {
            *lppUnk = message;
        }
        return result;
    }
};

}  // namespace

ULONG Tracked::AddRefTracked()
{
    return ++refs_;
}

ULONG Tracked::ReleaseTracked()
{
    auto& accounts = TheState().accounts;
    if (refs_ == 0) {
        ++accounts.overReleases;
        ThePhone().Record("program", "IUnknown::Release", {{"object", label_}}, {{"alreadyReleased", true}});
        return 0;
    }
    if (--refs_ == 0) {
        --accounts.liveInterfaces;
    }
    ThePhone().Record("program", "IUnknown::Release", {{"object", label_}}, {{"result", Int(refs_)}});
    return refs_;
}

bool Tracked::Enter(const std::string& call, Fields args, Fields result)
{
    args.insert(args.begin(), Field{"object", label_});
    if (refs_ == 0) {
        ++TheState().accounts.usesAfterRelease;
        ThePhone().Record("program", call, std::move(args), {{"usedAfterRelease", true}});
        return false;
    }
    ThePhone().Record("program", call, std::move(args), std::move(result));
    return true;
}

LPMAPISESSION NewSession()
{
    return Hand<SessionObject>();
}

}  // namespace sim::mapi
