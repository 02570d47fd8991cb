// The sample host database (version 1.25), built in-process from its script.
// VANTOLY_SAMPLES_DIR names the folder of the script.
#pragma once

#include <stdexcept>
#include <string>

#include "console/QueryScript.h"
#include "engine/Engine.h"
#include "support/FileContent.h"
#include "support/TestDatabase.h"

namespace testsupport {

// Builds the sample host database from its script into `path`.
inline void BuildSampleDatabase(const std::string& path, const std::string& password = "") {
    engine::CreateDatabase(path, password);
    auto connection = engine::Connection::create();
    connection->Open(testsupport::JetConnectionText(path, password));
    const std::string text = ReadFileBytes(std::string(VANTOLY_SAMPLES_DIR) + "/host-1.25.sql");
    if (text.empty()) throw std::runtime_error("the sample script is missing");
    auto split = console::SplitQueries(console::SplitLines(text));
    if (split.status != console::SplitStatus::kOk)
        throw std::runtime_error("the sample script does not split");
    connection->BeginTrans();
    for (const auto& statement : split.statements) connection->Execute(statement.text, nullptr, -1);
    connection->CommitTrans();
    connection->Close();
}

}  // namespace testsupport
