#pragma once

// The tools the agent server offers, with the descriptions and parameters
// that tools/list shows the agent. The descriptions are the agent's only
// manual, so their wording matters to the letter.

#include "BrowserMCP/Json.h"

#include <string>
#include <vector>

namespace vesk {

struct Tool {
    struct Parameter {
        std::string name;
        std::string type; // "string", "number", "integer", "boolean" or "object"
        std::string description;
        bool required = false;
    };

    std::string name;
    std::string description;
    std::vector<Parameter> parameters;

    // Every tool, in the order tools/list gives them.
    static const std::vector<Tool>& all();

    // { "name", "description", "inputSchema": { "type": "object", "properties", "required" } }
    Json schema() const;
};

} // namespace vesk
