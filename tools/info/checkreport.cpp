#include "info/checkreport.h"

#include <algorithm>
#include <iomanip>

namespace {

using Status = ModelChecker::Status;

struct KindName {
    const char* key;   // in JSON
    const char* label; // in the text summary
};

const KindName kKindNames[CheckReport::kKinds] = {
    {"modelNotLoaded", "models that do not load"},
    {"effectMissing", "effects missing"},
    {"effectRefused", "effects the native renderer refuses or cannot draw"},
    {"textureMissing", "textures missing"},
    {"textureTgaOnly", "textures only as .TGA"},
    {"textureBroken", "textures D3DX would refuse"},
    {"parameterUndeclared", "parameters the effect does not declare"},
    {"parameterType", "parameters the effect declares otherwise"},
};

// Entries of each list the text summary shows, and models named per file, so that it fits on one screen.
constexpr std::size_t kListed = 4;

const char* statusName(Status status) {
    switch (status) {
    case Status::Found:
        return "found";
    case Status::TgaOnly:
        return "tgaOnly";
    case Status::Broken:
        return "broken";
    default:
        return "missing";
    }
}

// The message of an error report, on one line.
std::string reportMessage(const std::string& report) {
    const std::size_t blank = report.find("\n\n");
    std::string message = blank == std::string::npos ? report : report.substr(blank + 2);
    while (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

std::string listed(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < kListed; ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    return names.size() > kListed ? text + ", ..." : text;
}

} // namespace

CheckReport::CheckReport(std::ostream& out, bool text) : m_out(out), m_text(text), m_json(out) {
    if (!m_text) {
        m_json.beginObject().key("models").beginArray();
    }
}

void CheckReport::add(const ModelChecker::ModelResult& model) {
    ++m_models;
    std::size_t problems = 0;
    if (!model.loaded) {
        count(ModelNotLoaded, model.name);
        m_unloaded.emplace_back(model.name, reportMessage(model.error));
        problems = 1;
    }
    for (const ModelChecker::MeshResult& mesh : model.meshes) {
        ++m_meshes;
        problems += countMesh(mesh, model.name);
    }
    if (!m_text) {
        writeModel(model, problems);
    }
}

std::size_t CheckReport::problems() const {
    std::size_t total = 0;
    for (const std::size_t n : m_counts) {
        total += n;
    }
    return total;
}

void CheckReport::count(Kind kind, const std::string& model, const std::string& file,
                        const std::string& note) {
    ++m_counts[kind];
    if (file.empty()) {
        return;
    }
    const bool broken = kind == EffectRefused || kind == TextureBroken;
    FileProblem& problem = (broken ? m_broken : m_missing)[file];
    problem.note = note;
    // Models come one at a time, so a model already listed is the last one.
    if (problem.models.empty() || problem.models.back() != model) {
        problem.models.push_back(model);
    }
}

std::size_t CheckReport::countMesh(const ModelChecker::MeshResult& mesh, const std::string& model) {
    if (!mesh.hasMaterial) {
        return 0;
    }
    const std::size_t before = problems();
    const ModelChecker::Effect& effect = mesh.effect;
    if (effect.file.status == Status::Missing) {
        count(EffectMissing, model, effect.file.path);
    } else if (effect.verdict && (!effect.verdict->accepted || !effect.verdict->problem.empty())) {
        count(EffectRefused, model, effect.file.path, effect.verdict->problem);
    }
    for (const ModelChecker::Texture& texture : mesh.textures) {
        if (texture.file.status == Status::Missing) {
            count(TextureMissing, model, texture.file.path);
        } else if (texture.file.status == Status::TgaOnly) {
            count(TextureTgaOnly, model, texture.file.path, texture.file.tgaPath);
        } else if (texture.file.status == Status::Broken) {
            count(TextureBroken, model, texture.file.path, texture.file.reason);
        }
    }
    for (const ModelChecker::Parameter& parameter : mesh.parameters) {
        count(parameter.declared.empty() ? ParameterUndeclared : ParameterType, model);
    }
    return problems() - before;
}

void CheckReport::writeModel(const ModelChecker::ModelResult& model, std::size_t problems) {
    m_json.beginObject().key("model").value(model.name).key("source");
    if (model.source.empty()) {
        m_json.null();
    } else {
        m_json.value(model.source);
    }
    m_json.key("problems").value(std::uint64_t{problems});
    if (!model.loaded) {
        m_json.key("error").value(model.error).endObject();
        return;
    }
    m_json.key("meshes").beginArray();
    for (const ModelChecker::MeshResult& mesh : model.meshes) {
        writeMesh(mesh);
    }
    m_json.endArray().endObject();
}

void CheckReport::writeMesh(const ModelChecker::MeshResult& mesh) {
    const auto writeLookup = [this](const ModelChecker::Lookup& lookup) {
        m_json.key("file").value(lookup.path).key("status").value(statusName(lookup.status)).key("source");
        if (lookup.status == Status::Missing) {
            m_json.null();
        } else {
            m_json.value(lookup.source);
        }
    };
    m_json.beginObject().key("name").value(mesh.name).key("effect");
    if (!mesh.hasMaterial) {
        m_json.null().key("textures").beginArray().endArray().endObject();
        return;
    }
    m_json.beginObject().key("name").value(mesh.effect.name);
    writeLookup(mesh.effect.file);
    if (const std::optional<EffectVerdict>& verdict = mesh.effect.verdict) {
        m_json.key("native").beginObject().key("accepted").value(verdict->accepted).key("technique");
        if (verdict->hasTechnique) {
            m_json.value(verdict->technique);
        } else {
            m_json.null();
        }
        m_json.key("problem");
        if (verdict->problem.empty()) {
            m_json.null();
        } else {
            m_json.value(verdict->problem);
        }
        m_json.endObject();
    }
    m_json.endObject().key("textures").beginArray();
    for (const ModelChecker::Texture& texture : mesh.textures) {
        m_json.beginObject().key("parameter").value(texture.parameter).key("name").value(texture.name);
        writeLookup(texture.file);
        if (texture.file.status == Status::TgaOnly) {
            m_json.key("tga").value(texture.file.tgaPath);
        } else if (texture.file.status == Status::Broken) {
            m_json.key("reason").value(texture.file.reason);
        }
        m_json.endObject();
    }
    m_json.endArray();
    if (mesh.parametersChecked) {
        m_json.key("parameters").beginArray();
        for (const ModelChecker::Parameter& p : mesh.parameters) {
            m_json.beginObject().key("name").value(p.name).key("problem");
            m_json.value(p.declared.empty() ? "undeclared" : "type").key("expected").value(p.expected);
            if (!p.declared.empty()) {
                m_json.key("declared").value(p.declared);
            }
            m_json.endObject();
        }
        m_json.endArray();
    }
    m_json.endObject();
}

void CheckReport::finish() {
    if (m_text) {
        writeText();
    } else {
        writeSummary();
    }
}

void CheckReport::writeSummary() {
    m_json.endArray().key("summary").beginObject();
    m_json.key("models").value(std::uint64_t{m_models}).key("meshes").value(std::uint64_t{m_meshes});
    m_json.key("problems").beginObject();
    for (int kind = 0; kind < kKinds; ++kind) {
        m_json.key(kKindNames[kind].key).value(std::uint64_t{m_counts[static_cast<std::size_t>(kind)]});
    }
    m_json.endObject();
    for (const bool broken : {false, true}) {
        m_json.key(broken ? "broken" : "missing").beginArray();
        for (const auto& [file, problem] : broken ? m_broken : m_missing) {
            m_json.beginObject().key("file").value(file);
            if (!problem.note.empty()) {
                m_json.key(broken ? "reason" : "tga").value(problem.note);
            }
            m_json.key("models").beginArray();
            for (const std::string& model : problem.models) {
                m_json.value(model);
            }
            m_json.endArray().endObject();
        }
        m_json.endArray();
    }
    m_json.endObject().endObject();
    m_out << '\n';
}

void CheckReport::writeText() {
    const std::size_t total = problems();
    m_out << m_models << (m_models == 1 ? " model, " : " models, ") << m_meshes
          << (m_meshes == 1 ? " mesh: " : " meshes: ");
    if (total == 0) {
        m_out << "everything they need resolves\n";
        return;
    }
    m_out << total << (total == 1 ? " problem\n" : " problems\n");
    for (int kind = 0; kind < kKinds; ++kind) {
        if (const std::size_t n = m_counts[static_cast<std::size_t>(kind)]) {
            m_out << "  " << std::left << std::setw(44) << kKindNames[kind].label << std::right
                  << std::setw(8) << n << '\n';
        }
    }
    for (const bool broken : {false, true}) {
        const std::map<std::string, FileProblem>& files = broken ? m_broken : m_missing;
        if (files.empty()) {
            continue;
        }
        m_out << (broken ? "Broken files (" : "Missing files (") << files.size() << "):\n";
        std::size_t shown = 0;
        for (const auto& [file, problem] : files) {
            if (shown++ == kListed) {
                m_out << "  ... and " << files.size() - kListed << " more\n";
                break;
            }
            std::string note = ":";
            if (!problem.note.empty()) {
                note = broken ? ": " + problem.note + ";" : " (only " + problem.note + " exists):";
            }
            m_out << "  " << file << note << ' ' << problem.models.size()
                  << (problem.models.size() == 1 ? " model: " : " models: ") << listed(problem.models)
                  << '\n';
        }
    }
    if (!m_unloaded.empty()) {
        m_out << "Models that do not load (" << m_unloaded.size() << "):\n";
        for (std::size_t i = 0; i < m_unloaded.size() && i <= kListed; ++i) {
            if (i == kListed) {
                m_out << "  ... and " << m_unloaded.size() - kListed << " more\n";
                break;
            }
            m_out << "  " << m_unloaded[i].first << ": " << m_unloaded[i].second << '\n';
        }
    }
}
