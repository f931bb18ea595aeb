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
    SecretValue* found = secret_password_lookup_binary_sync(schema(), nullptr, &error, "service", service_.c_str(),
                                                            "account", account.c_str(), nullptr);
    if (error) {
        Lookup failed{std::nullopt, std::string(error->message ? error->message : "the keychain did not answer")};
        g_error_free(error);
        return failed;
    }
    if (!found) return {};
    gsize length = 0;
    const gchar* bytes = secret_value_get(found, &length);
    std::string value(bytes ? bytes : "", length);
    secret_value_unref(found);
    if (!g_utf8_validate(value.data(), static_cast<gssize>(value.size()), nullptr)) {
        return {std::nullopt, std::string("the item stored for it holds no UTF-8 text"), std::move(value)};
    }
    return {value, std::nullopt, std::nullopt};
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
