#pragma once
// The texts of the conversation list and the top bar that depend on the records, kept apart from
// drawing so they can be checked as tables: a chat row's date line and message count, the persona
// card's caption, who is writing in a chat, and the top bar's line on the persona played.
// Plain functions over records: the UI thread for the live ones. Nothing fails; a time stamp that
// does not parse gives an empty time.

#include <string>

#include "domain/Records.h"

namespace Lorvex::Main::ChatBars {

// "Hoy · 18:04": the day of the chat's creation and its hour; only the separator after the day
// label when the stamp does not parse.
std::wstring DateLine(const std::wstring& stamp);
// The chat's messages that are not pending replies, followed by " msj".
std::wstring CountLine(const Chat& chat);
// The card's caption: "Sin usuario" without a persona, "Juegas como (personalizada)" when the
// character holds its own traits or personality for the persona, else "Juegas como".
std::wstring CardCaption(const Character& character, const Persona* persona);
// Who writes the first pending reply of the chat: its speaker name when it has one, else the
// character's name; empty when no reply is pending (or the chat is null).
std::wstring Writer(const Chat* chat, const Character& character);
// "Juegas como " and the persona's name, or "Sin usuario seleccionado"; " · modo manual" after it
// in manual reply mode.
std::wstring PersonaStatus(const Persona* persona, bool manualReplies);

}  // namespace Lorvex::Main::ChatBars
