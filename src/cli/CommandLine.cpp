#include "cli/CommandLine.h"

#include "export/TableComparison.h"

#include <ostream>
#include <sstream>

#ifndef PONTREL_VERSION
#define PONTREL_VERSION "desarrollo"
#endif

namespace pontrel::cli {

namespace {

// What the program writes, and in which encoding, wherever its output goes.
const char* const kOutputEncodingHelp =
    "Salida: texto en UTF-8. En una consola de Windows se escribe como texto Unicode, y los acentos se ven "
    "con cualquier página de códigos de la consola; redirigida a un archivo o a otro programa, salen los "
    "bytes UTF-8 tal cual (en Windows, con fin de línea CR LF).";

const char* const kWorkdirHelp =
    "Carpeta de trabajo de Velmora, donde están sus tablas. Por omisión, $PONTREL_VTEMP si está "
    "definida; si no, $WINEPREFIX/drive_c/VTEMP (WINEPREFIX vale ~/.wine si no está definida), la "
    "carpeta C:\\VTEMP de Velmora bajo Wine. Pontrel nunca la crea.";

std::vector<CommandDescription> makeDescriptions() {
    std::vector<CommandDescription> commands;
    commands.push_back(CommandDescription{
        "export",
        "DOCUMENTO.xml",
        "el documento de datos del centro exportado desde Yedra (XML).",
        "de Yedra a Velmora: escribe las diez tablas de trabajo de Velmora",
        "Convierte el documento de Yedra en las diez tablas de trabajo de Velmora (ASIGNOMT, ASIGNOMT2, "
        "PROFT, AULAT, CURSOST, GRUPOST, ASIGT, DIASHORAST, DIASHORAST2 y PERIODOS) y las escribe en la "
        "carpeta de trabajo, sustituyendo las que hubiera solo si todo el proceso termina bien. Al "
        "terminar muestra «Proceso finalizado» y cada tabla escrita con su número de registros.",
        {{"--workdir", "CARPETA", kWorkdirHelp},
         {"--level-table", "ARCHIVO",
          "Tabla de niveles que se usa en lugar de NIVELCAN.DBF. Por omisión, NIVELCAN.DBF de la carpeta "
          "del programa (la de pontrel-cli)."},
         {"--frames", "COD[,COD...]",
          "Códigos de los marcos horarios (jornadas escolares) que pasan a Velmora, de 1 a 5, separados "
          "por comas. Solo hace falta si el documento tiene más de un marco; si tiene uno, se toma ese y "
          "se avisa de que la opción no se ha usado. Por omisión, en un terminal se pregunta; fuera de "
          "un terminal la exportación se detiene sin tocar ninguna tabla y lista los marcos."},
         {"--dry-run", "",
          "Vista previa: hace toda la exportación en una carpeta temporal, sin cambiar nada en la carpeta "
          "de trabajo, y muestra por tabla «TABLA añadidos=N quitados=N cambiados=N iguales=N» frente a "
          "las tablas que hay ahora. Los registros se emparejan por su clave: " +
              exporting::comparisonKeysHelp() +
              ". Una tabla que falta cuenta todos sus registros como añadidos; una que no se puede leer "
              "(dañada) se nombra y no se compara, y las demás sí. Funciona aunque Velmora tenga las tablas "
              "abiertas para leer; lee las tablas actuales con el bloqueo de Pontrel sobre la carpeta "
              "(espera "
              "a otra ejecución de Pontrel, y una exportación no las encuentra ocupadas). Si una "
              "sustitución de tablas quedó a medias (una ejecución interrumpida), se detiene sin cambiar "
              "nada: la repara la próxima exportación o importación. Por omisión, la exportación escribe "
              "las tablas."},
         {"--detalle", "",
          "Con --dry-run, lista además cada registro añadido, quitado o cambiado (su clave y, si cambia, "
          "cada campo antes → después). Por omisión, solo la línea de cada tabla."},
         {"--report", "ARCHIVO.csv",
          "Escribe en ARCHIVO.csv cada código que se guarda distinto del que da Yedra, con las columnas "
          "tabla;campo;clave_yedra;valor_yedra;valor_guardado;motivo; motivo es recortado (cortado a su "
          "ancho), acortado (8 primeros y 2 últimos caracteres) o numerado (para que no se repita). El "
          "archivo es para una hoja de cálculo en español: UTF-8 con marca de orden de bytes (BOM), "
          "celdas separadas por «;», y una celda que empieza por =, +, - o @ lleva delante un apóstrofo "
          "para que no se tome por una fórmula. valor_yedra y clave_yedra son los textos del documento, "
          "con todos sus caracteres. Se escribe antes de sustituir las tablas: si no se puede escribir "
          "(carpeta que no existe, sin permiso), la exportación se detiene sin cambiar ninguna tabla. "
          "También con --dry-run. Por omisión no se escribe."}},
        {"# El centro de ejemplo, con el marco de mañana:",
         "pontrel-cli export data/sample/colegio.xml --workdir /tmp/vtemp --frames JOR1",
         "# Dos marcos, con la forma --opción=valor:",
         "pontrel-cli export centro.xml --workdir=/tmp/vtemp --frames=JOR1,JOR2",
         "# Qué cambiaría en las tablas, registro a registro, y qué códigos se acortarían:",
         "pontrel-cli export centro.xml --dry-run --detalle --report codigos.csv"},
        "0 las tablas se han escrito; 1 la exportación se ha detenido (documento inexistente, tabla de "
        "niveles ausente, marco desconocido, error en el documento o en una tabla, informe que no se puede "
        "escribir) y no se ha cambiado ninguna tabla; 2 error en la línea de órdenes."});
    commands.push_back(CommandDescription{
        "import",
        "DOCUMENTO.xml",
        "el mismo documento de Yedra que se exportó; el horario se escribe junto a él como "
        "ResultadoDastel<nombre>.xml.",
        "de Velmora a Yedra: escribe el horario calculado como documento de Yedra",
        "Lee el horario que Velmora ha calculado (la tabla SOLUC de la carpeta de trabajo) y las tablas "
        "que escribió la exportación, y escribe el documento de horarios para Yedra junto al documento "
        "dado. Si a algún profesor de PROFT le falta su clave de Yedra (X_EMPLEADO o F_TOMAPOS), la "
        "importación lo lista y se detiene, salvo que --teacher-keys dé las claves que faltan.",
        {{"--workdir", "CARPETA", kWorkdirHelp},
         {"--teacher-keys", "ARCHIVO.csv",
          "Claves de los profesores que faltan en PROFT, una línea por profesor: ABREV;X_EMPLEADO;F_TOMAPOS "
          "(F_TOMAPOS como dd/mm/aaaa), en UTF-8 o, si no lo es, en windows-1252 (como guarda el CSV una "
          "hoja de cálculo en español). Un profesor dos veces con claves distintas, o un ABREV que llevan "
          "dos profesores de PROFT, detiene la importación nombrando la línea. Las claves se guardan en "
          "PROFT solo si completan a todos los profesores (las que ya están no cambian), y se quitan de "
          "nuevo si la importación se detiene después. Por omisión no se completa ninguna."},
         {"--strict", "",
          "Tras el horario, el resumen lista las claves enviadas (profesores por X_EMPLEADO y F_TOMAPOS, "
          "dependencias, unidades, materias y ofertas, actividades, tramos) que el documento de Yedra no "
          "contiene: el horario se calculó con datos anteriores. Aparte lista los códigos que la "
          "exportación hizo con los datos actuales del documento (dependencias sin clave, códigos "
          "acortados, numerados o recortados): Yedra no los tiene como claves, pero no indican datos "
          "anteriores. Con --strict, cualquier clave que falta detiene la importación sin guardar el "
          "documento (se conserva el anterior); los códigos hechos por la exportación no la detienen. "
          "Por omisión, el documento se guarda y las claves solo se listan."}},
        {"# El horario del centro de ejemplo:",
         "pontrel-cli import data/sample/colegio.xml --workdir /tmp/vtemp",
         "# Con las claves de los profesores que faltan:",
         "pontrel-cli import centro.xml --workdir=/tmp/vtemp --teacher-keys=claves.csv"},
        "0 el documento de horarios se ha escrito; 1 la importación se ha detenido (documento inexistente, "
        "profesores sin claves, archivo de claves erróneo, claves que faltan con --strict, error en una "
        "tabla o en el documento), no se ha escrito ningún documento y PROFT queda como estaba; 2 error en "
        "la línea de órdenes."});
    commands.push_back(CommandDescription{
        "dump",
        "TABLA.DBF",
        "cualquier tabla de dBase (III a 7, o FoxPro).",
        "muestra una tabla de dBase como CSV",
        "Escribe la tabla en la salida estándar como CSV en UTF-8: una línea con los nombres de los "
        "campos y una por registro vigente (los borrados no salen); los valores nulos quedan vacíos.",
        {},
        {"# Los profesores que escribió la exportación:", "pontrel-cli dump /tmp/vtemp/PROFT.DBF"},
        "0 la tabla se ha mostrado; 1 la tabla no existe o no se puede leer; 2 error en la línea de "
        "órdenes."});
    return commands;
}

const OptionDescription* findOption(const CommandDescription& command, const std::string& name) {
    for (const auto& option : command.options)
        if (option.name == name)
            return &option;
    return nullptr;
}

// "--workdir CARPETA", or "--dry-run" for a switch.
std::string optionWithValue(const OptionDescription& option) {
    return option.isSwitch() ? option.name : option.name + " " + option.valueName;
}

// Text wrapped to `width` columns, each line starting with `indent`.
std::string wrapped(std::string_view text, std::size_t indent, std::size_t width = 78) {
    std::string result, line;
    std::istringstream words{std::string(text)};
    const std::string margin(indent, ' ');
    // Width in characters, not bytes: UTF-8 continuation bytes do not count.
    const auto length = [](const std::string& s) {
        std::size_t n = 0;
        for (unsigned char c : s)
            n += (c & 0xC0) != 0x80;
        return n;
    };
    for (std::string word; words >> word;) {
        if (!line.empty() && length(line) + 1 + length(word) > width - indent) {
            result += margin + line + '\n';
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty())
        result += margin + line + '\n';
    return result;
}

// troff escapes: a backslash, and a hyphen that must stay a hyphen in options and paths.
std::string roff(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    // A line that begins with a dot or an apostrophe would be read as a request.
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

} // namespace

const std::vector<CommandDescription>& commandDescriptions() {
    static const std::vector<CommandDescription> commands = makeDescriptions();
    return commands;
}

const CommandDescription* findCommand(std::string_view name) {
    for (const auto& command : commandDescriptions())
        if (command.name == name)
            return &command;
    return nullptr;
}

std::string synopsis(const CommandDescription& command) {
    std::string line = "pontrel-cli " + command.name + " " + command.argument;
    for (const auto& option : command.options)
        line += " [" + optionWithValue(option) + "]";
    return line;
}

std::string commandHelp(const CommandDescription& command) {
    std::string text = "Uso: " + synopsis(command) + "\n\n";
    text += wrapped(command.description, 0) + "\n";
    text += "  " + command.argument + "\n" + wrapped(command.argumentHelp, 6);
    for (const auto& option : command.options)
        text += "  " + optionWithValue(option) + "\n" + wrapped(option.help, 6);
    text += "  -h, --help\n" + wrapped("Muestra esta ayuda y termina.", 6);
    text += "\nEjemplos:\n";
    for (const auto& example : command.examples)
        text += "  " + example + "\n";
    text += "\nEstado de salida:\n" + wrapped(command.exitStatus, 2);
    return text;
}

std::string generalHelp() {
    std::string text = "Uso: pontrel-cli ORDEN ARGUMENTO [opciones]\n\n";
    text +=
        wrapped("Pontrel pasa los datos de un centro de Yedra (documentos XML) a Velmora (tablas de dBase de "
                "su carpeta de trabajo) y devuelve a Yedra el horario que Velmora calcula. pontrel-cli hace "
                "lo mismo que la ventana (pontrel), sin ventana.",
                0);
    text += "\nÓrdenes:\n";
    for (const auto& command : commandDescriptions())
        text += "  " + command.name + std::string(8 - command.name.size(), ' ') + command.summary + "\n";
    text += "\n" + wrapped("Opciones de todas las órdenes: --opción VALOR o --opción=VALOR; -h o --help "
                           "muestra la ayuda de la orden.",
                           0);
    text += "  pontrel-cli --version   muestra la versión\n";
    text += "\nEjemplos:\n";
    for (const auto& command : commandDescriptions())
        text += "  " + command.examples.at(1) + "\n";
    text += "\nMás información: pontrel-cli ORDEN --help, o man pontrel-cli.\n";
    text += wrapped("Estado de salida: 0 hecho; 1 detenido (el motivo sale en la salida de errores, tras "
                    "«pontrel-cli: »); 2 error en la línea de órdenes.",
                    0);
    text += wrapped(kOutputEncodingHelp, 0);
    return text;
}

std::string versionText() {
    return std::string("pontrel-cli ") + PONTREL_VERSION + "\n";
}

std::string manualPage() {
    // The page is UTF-8: the first line tells man (preconv) so.
    std::string page = ".\\\" -*- coding: UTF-8 -*-\n";
    page += ".TH PONTREL\\-CLI 1 \"\" \"pontrel " PONTREL_VERSION "\" \"Órdenes de usuario\"\n";
    page += ".SH NOMBRE\npontrel\\-cli \\- pasa datos de Yedra a Velmora y el horario de Velmora a Yedra\n";
    page += ".SH SINOPSIS\n";
    for (const auto& command : commandDescriptions())
        page += ".B " + roff(synopsis(command)) + "\n.br\n";
    page += ".B pontrel\\-cli \\-\\-version\n";
    page += ".SH DESCRIPCIÓN\n";
    page += "Pontrel pasa los datos de un centro de Yedra (documentos XML) a Velmora (tablas de dBase de su "
            "carpeta de trabajo) y devuelve a Yedra el horario que Velmora calcula.\n"
            ".B pontrel\\-cli\nhace lo mismo que la ventana\n.BR pontrel ,\nsin ventana.\n"
            ".PP\nLas opciones se dan como \\fB\\-\\-opción VALOR\\fR o \\fB\\-\\-opción=VALOR\\fR; "
            "\\fB\\-h\\fR o \\fB\\-\\-help\\fR tras cualquier orden muestra su ayuda. Los errores salen en "
            "la salida de errores, tras \\(lqpontrel\\-cli: \\(rq; los resultados y el progreso, en la "
            "salida estándar.\n.PP\n" +
            roff(kOutputEncodingHelp) + "\n";
    for (const auto& command : commandDescriptions()) {
        page += ".SH ORDEN " + roff(command.name) + "\n";
        page += ".B " + roff(synopsis(command)) + "\n.PP\n" + roff(command.description) + "\n";
        page += ".TP\n.I " + roff(command.argument) + "\n" + roff(command.argumentHelp) + "\n";
        for (const auto& option : command.options)
            page +=
                (option.isSwitch() ? ".TP\n.B " + roff(option.name)
                                   : ".TP\n.BI \"" + roff(option.name) + " \" " + roff(option.valueName)) +
                "\n" + roff(option.help) + "\n";
        page += ".PP\nEjemplos:\n.PP\n.nf\n.RS\n";
        for (const auto& example : command.examples)
            page += roff(example) + "\n";
        page += ".RE\n.fi\n.PP\nEstado de salida: " + roff(command.exitStatus) + "\n";
    }
    page += ".SH ENTORNO\n.TP\n.B PONTREL_VTEMP\nCarpeta de trabajo por omisión.\n"
            ".TP\n.B WINEPREFIX\nSi PONTREL_VTEMP no está definida, la carpeta de trabajo es "
            "$WINEPREFIX/drive_c/VTEMP (por omisión ~/.wine/drive_c/VTEMP).\n";
    page += ".SH ARCHIVOS\n.TP\n.B NIVELCAN.DBF\nTabla de niveles, en la carpeta del programa.\n";
    page += ".SH VÉASE TAMBIÉN\n.BR pontrel (1)\n";
    return page;
}

std::optional<std::string> ParsedArguments::option(const std::string& name) const {
    const auto found = options.find(name);
    if (found == options.end())
        return std::nullopt;
    return found->second;
}

std::optional<ParsedArguments> parseArguments(const CommandDescription& command,
                                              const std::vector<std::string>& args, std::ostream& err) {
    ParsedArguments parsed;
    // Asking for help is never an error, whatever else the line holds.
    for (const auto& arg : args)
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
            return parsed;
        }
    bool haveArgument = false;
    const auto usageError = [&](const std::string& problem) -> std::optional<ParsedArguments> {
        reportError(err, problem);
        err << "Uso: " << synopsis(command) << "\nMás información: pontrel-cli " << command.name
            << " --help\n";
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 2 || arg[0] != '-') {
            if (haveArgument)
                return usageError("sobra el argumento «" + arg + "».");
            if (arg.empty())
                return usageError("el argumento " + command.argument + " está vacío.");
            parsed.argument = arg;
            haveArgument = true;
            continue;
        }
        const auto equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionDescription* described = findOption(command, name);
        if (!described)
            return usageError("opción desconocida: " + name + ".");
        if (described->isSwitch()) {
            if (equals != std::string::npos)
                return usageError("la opción " + name + " no lleva valor.");
            if (!parsed.options.emplace(name, std::string()).second)
                return usageError("la opción " + name + " se ha dado dos veces.");
            continue;
        }
        std::string value;
        if (equals != std::string::npos)
            value = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            value = args[++i];
        else
            return usageError("falta el valor de la opción " + name + ".");
        if (value.empty())
            return usageError("la opción " + name + " necesita un valor.");
        if (!parsed.options.emplace(name, value).second)
            return usageError("la opción " + name + " se ha dado dos veces.");
    }
    if (!haveArgument)
        return usageError("falta el argumento " + command.argument + ": " + command.argumentHelp);
    return parsed;
}

void reportError(std::ostream& err, std::string_view text) {
    // The system's messages break lines as "\n\r" or "\r\n"; a terminal wants plain line feeds.
    std::string plain;
    for (char c : text)
        if (c != '\r')
            plain += c;
    while (!plain.empty() && plain.back() == '\n')
        plain.pop_back();
    err << kErrorPrefix << plain << '\n' << std::flush;
}

} // namespace pontrel::cli
