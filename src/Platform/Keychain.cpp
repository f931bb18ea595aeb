#include "Platform/Keychain.h"

#include "Platform/KeychainError.h"

#include <libsecret/secret.h>

#include <memory>

namespace vesk {

namespace {

// Lookups match the two attributes alone, whatever schema an item was
// stored with.
const SecretSchema* schema() {
    static const SecretSchema itemSchema = {
        "app.vesk.Vesk.Secret",
        SECRET_SCHEMA_DONT_MATCH_NAME,
        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
         {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
         {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
    };
    return &itemSchema;
}

[[noreturn]] void fail(GError* error) {
    KeychainError failure(error->code, error->message ? error->message : "");
    g_error_free(error);
    throw failure;
}

struct HashTableUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using Attributes = std::unique_ptr<GHashTable, HashTableUnref>;

Attributes attributes(const std::string& service, const std::string& account) {
    Attributes table(g_hash_table_new(g_str_hash, g_str_equal));
    // The table borrows the strings, which outlive it.
    g_hash_table_insert(table.get(), const_cast<char*>("service"), const_cast<char*>(service.c_str()));
    g_hash_table_insert(table.get(), const_cast<char*>("account"), const_cast<char*>(account.c_str()));
    return table;
}

} // namespace

SecretStore::Lookup Keychain::lookup(const std::string& account) {
    GError* error = nullptr;
    auto failed = [&error] {
        Lookup lookup{std::nullopt, std::string(error->message ? error->message : "the keychain did not answer")};
        g_error_free(error);
        return lookup;
    };
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (error) return failed();
    auto query = attributes(service_, account);
    // Locked items are found too, and none is unlocked: a locked keychain
    // is told from an account without a value, and no prompt waits for the
    // person.
    GList* items = secret_service_search_sync(
        service, schema(), query.get(), static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_LOAD_SECRETS),
        nullptr, &error);
    g_object_unref(service);
    if (error) return failed();
    std::optional<std::string> bytes;
    bool locked = false;
    for (GList* item = items; item && !bytes; item = item->next) {
        if (secret_item_get_locked(SECRET_ITEM(item->data))) {
            locked = true;
        } else if (SecretValue* secret = secret_item_get_secret(SECRET_ITEM(item->data))) {
            gsize length = 0;
            const gchar* data = secret_value_get(secret, &length);
            bytes = std::string(data ? data : "", length);
            secret_value_unref(secret);
        }
    }
    const bool found = items != nullptr;
    g_list_free_full(items, g_object_unref);
    if (!bytes) {
        if (locked) return {std::nullopt, std::string("the keychain is locked"), std::nullopt};
        if (found) return {std::nullopt, std::string("the keychain did not give the value"), std::nullopt};
        return {};
    }
    if (!g_utf8_validate(bytes->data(), static_cast<gssize>(bytes->size()), nullptr)) {
        return {std::nullopt, std::string("the item stored for it holds no UTF-8 text"), std::move(bytes)};
    }
    return {std::move(bytes), std::nullopt, std::nullopt};
}

void Keychain::write(const std::optional<std::string>& value, const std::string& account) {
    if (value) {
        store(*value, account);
        return;
    }
    GError* error = nullptr;
    // False without an error: there was nothing to delete.
    secret_password_clear_sync(schema(), nullptr, &error, "service", service_.c_str(), "account", account.c_str(),
                               nullptr);
    if (error) fail(error);
}

std::optional<std::vector<std::string>> Keychain::accounts() {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    Attributes query(g_hash_table_new(g_str_hash, g_str_equal));
    g_hash_table_insert(query.get(), const_cast<char*>("service"), const_cast<char*>(service_.c_str()));
    // Locked items are listed too, and nothing is unlocked or read.
    GList* items = secret_service_search_sync(service, schema(), query.get(), SECRET_SEARCH_ALL, nullptr, &error);
    g_object_unref(service);
    if (error) {
        g_error_free(error);
        return std::nullopt;
    }
    std::vector<std::string> found;
    for (GList* item = items; item; item = item->next) {
        GHashTable* attributes = secret_item_get_attributes(SECRET_ITEM(item->data));
        if (auto* account = static_cast<const char*>(g_hash_table_lookup(attributes, "account"))) found.emplace_back(account);
        g_hash_table_unref(attributes);
    }
    g_list_free_full(items, g_object_unref);
    return found;
}

// Replaces the data of every item of the account, or adds one when there is
// none: an item that another tool stored with other attributes besides these
// two is updated, not doubled.
void Keychain::store(const std::string& value, const std::string& account) {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (error) fail(error);
    auto query = attributes(service_, account);
    SecretValue* secret = secret_value_new(value.data(), static_cast<gssize>(value.size()), "text/plain");
    GList* items = secret_service_search_sync(service, schema(), query.get(),
                                              static_cast<SecretSearchFlags>(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK),
                                              nullptr, &error);
    if (!error && items) {
        for (GList* item = items; item && !error; item = item->next) {
            secret_item_set_secret_sync(SECRET_ITEM(item->data), secret, nullptr, &error);
        }
    } else if (!error) {
        std::string label = "Vesk: " + account;
        secret_service_store_sync(service, schema(), query.get(), SECRET_COLLECTION_DEFAULT, label.c_str(), secret,
                                  nullptr, &error);
    }
    g_list_free_full(items, g_object_unref);
    secret_value_unref(secret);
    g_object_unref(service);
    if (error) fail(error);
}

} // namespace vesk
