// Stored forms: FS"NAME" ... FE stores the commands in between, FR"NAME" clears the image buffer
// and replays them, FK"NAME" deletes one (FK"*" all). V declares a variable inside a form; after
// a recall of a form with variables a ? line is followed by one data line per variable. FI (list
// forms) is accepted and changes nothing.
#include "commands.h"

namespace eplview {
namespace {

// Form commands inside a form would let a form recall itself without end; the printer keeps
// them but a recall does not carry them out.
bool is_form_command(const Command& command) {
    return command.text.rfind("FS", 0) == 0 || command.text.rfind("FK", 0) == 0 ||
           command.text.rfind("FR", 0) == 0;
}

// Vnn,max_length,justification,"prompt": the variable's number when the declaration is sound.
std::optional<int> parse_declaration(Printer& printer, const Command& command) {
    auto fields = printer.fields_of(command, std::string_view(command.text).substr(1));
    if (!fields || !printer.expect_count(command, *fields, 4)) return std::nullopt;
    auto variable = printer.number(command, *fields, 0, "variable number", 0, 99);
    auto length = printer.number(command, *fields, 1, "variable length", 1, 99);
    const std::string& justification = fields->list[2].text;
    if (justification != "N" && justification != "L" && justification != "R" &&
        justification != "C")
        printer.warn(command,
                     "V: justification \"" + printable(justification) + "\" is not N, L, R or C");
    if (!fields->list[3].quoted) printer.warn(command, "V: the prompt must be in double quotes");
    if (!length) return std::nullopt;
    return variable;
}

// Commands of every stored form but the one being stored, which replaces its namesake.
std::size_t stored_commands(const Printer& printer) {
    auto namesake = printer.forms.entries.find(printer.storing->name);
    return printer.forms.total -
           (namesake == printer.forms.entries.end() ? 0 : weight(namesake->second));
}

// Checks and keeps a command of the form being stored.
void store(Printer& printer, const Command& command) {
    FormBeingStored& storing = *printer.storing;
    if (is_form_command(command))
        printer.warn(command, command.text.substr(0, 2) + " inside the form being stored (" +
                                  printable(storing.name) + ") is stored, not carried out");
    if (storing.form.commands.size() >= max_form_commands) {
        printer.warn(command, "form \"" + printable(storing.name) + "\" holds more than " +
                                  std::to_string(max_form_commands) +
                                  " commands; the rest is dropped");
        return;
    }
    if (stored_commands(printer) + storing.form.commands.size() >= max_stored_form_commands) {
        printer.warn(command, "stored forms hold more than " +
                                  std::to_string(max_stored_form_commands) +
                                  " commands together; the rest of form \"" +
                                  printable(storing.name) + "\" is dropped");
        return;
    }
    if (command.text.rfind("V", 0) == 0) {
        if (auto variable = parse_declaration(printer, command))
            storing.form.variables.insert(*variable);
    } else if (command.text[0] == 'A' || command.text[0] == 'B' || command.text[0] == 'b') {
        Fields fields = split_fields(std::string_view(command.text).substr(1));
        if (auto variable = variable_reference(fields.list.back());
            variable && !storing.form.variables.count(*variable))
            printer.warn(command, "undeclared variable " + fields.list.back().text);
    }
    // As sent: the command, its line end and any data it carries.
    storing.form.bytes += command.text.size() + 1 + command.payload.size();
    storing.form.commands.push_back(command);
}

// Draws the recalled form with the variable data that followed its recall.
void finish_recall(Printer& printer) {
    PendingRecall recall = std::move(*printer.recall);
    printer.recall.reset();
    const Form& form = printer.forms.entries[recall.name];
    if (recall.values.size() < form.variables.size())
        printer.warn(recall.offset, recall.line,
                     "FR: form \"" + printable(recall.name) + "\" declares " +
                         std::to_string(form.variables.size()) + " variables but " +
                         std::to_string(recall.values.size()) +
                         " data lines follow; the rest print empty");
    printer.variables.clear();
    std::size_t index = 0;
    for (int variable : form.variables)
        printer.variables[variable] =
            index < recall.values.size() ? recall.values[index++] : std::string();
    Form copy = form;  // a replayed command may delete the form it belongs to
    printer.replaying = true;
    for (const auto& command : copy.commands) {
        if (printer.work > max_drawn_dots) break;
        if (!is_form_command(command) && command.text.rfind("V", 0) != 0) execute(printer, command);
    }
    printer.replaying = false;
    printer.variables.clear();
}

// FK"NAME"
void delete_form(Printer& printer, const Command& command, std::string_view rest) {
    printer.delete_stored(command, rest, printer.forms);
}

// FS"NAME"
void store_form(Printer& printer, const Command& command, std::string_view rest) {
    auto name = printer.quoted_name(command, rest);
    if (!name) return;
    printer.storing = FormBeingStored{*name, command.offset, command.line, {}};
}

void end_form(Printer& printer, const Command& command, std::string_view rest) {
    if (!rest.empty())
        printer.warn(command, "FE: unexpected parameters \"" + printable(rest) + "\"");
    if (!printer.storing) {
        printer.warn(command, "FE without a form being stored (no FS before it)");
        return;
    }
    FormBeingStored& storing = *printer.storing;
    auto namesake = printer.forms.entries.find(storing.name);
    std::size_t freed = namesake == printer.forms.entries.end() ? 0 : namesake->second.bytes;
    if (printer.fits_in_memory(command, storing.name, storing.form.bytes, freed))
        printer.forms.put(storing.name, std::move(storing.form));
    printer.storing.reset();
}

// FR"NAME"
void recall_form(Printer& printer, const Command& command, std::string_view rest) {
    auto name = printer.quoted_name(command, rest);
    if (!name) return;
    if (!printer.forms.entries.count(*name)) {
        printer.warn(command, "FR: recall of unknown form \"" + printable(*name) + "\"");
        return;
    }
    printer.clear_buffer(command);
    printer.recall = PendingRecall{*name, command.offset, command.line, false, {}};
    if (printer.forms.entries[*name].variables.empty()) finish_recall(printer);
}

void declare_variable(Printer& printer, const Command& command, std::string_view) {
    printer.warn(command, "V: variables are declared inside a stored form (between FS and FE)");
}

void stray_data(Printer& printer, const Command& command, std::string_view) {
    printer.warn(command, "?: variable data without a form recall that asks for it");
}

constexpr CommandRow family_rows[] = {
    {"FK", delete_form}, {"FS", store_form},      {"FE", end_form},  {"FR", recall_form},
    {"FI", accepted},    {"V", declare_variable}, {"?", stray_data},
};

}  // namespace

CommandRows form_commands() {
    return family_rows;
}

bool take_into_form(Printer& printer, const Command& command) {
    if (printer.recall) {
        if (printer.recall->collecting) {
            printer.recall->values.push_back(command.text);
            if (printer.recall->values.size() >=
                printer.forms.entries[printer.recall->name].variables.size())
                finish_recall(printer);
            return true;
        }
        if (command.text == "?") {
            printer.recall->collecting = true;
            return true;
        }
        finish_recall(printer);
    }
    if (printer.storing && command.text.rfind("FE", 0) != 0) {
        store(printer, command);
        return true;
    }
    return false;
}

void finish_forms(Printer& printer) {
    if (printer.recall && !printer.out_of_work) finish_recall(printer);
    if (printer.storing)
        printer.warn(printer.storing->offset, printer.storing->line,
                     "form \"" + printable(printer.storing->name) +
                         "\" is not closed with FE; it was not stored");
}

}  // namespace eplview
