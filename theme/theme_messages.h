#pragma once
// What the editor tells the user about a theme as a whole (UTF-8). The window and the command
// line show the same texts.
#include <array>

namespace wqt {

inline constexpr const char* kBadThemeMessage = "Некорректный файл темы. Загрузка невозможна.";
inline constexpr const char* kSignature1Status = "Некорректный файл темы. [Ошибка в сигнатуре 1]";
inline constexpr const char* kSignature2Status = "Некорректный файл темы. [Ошибка в сигнатуре 2]";
inline constexpr const char* kSlotTooLargeStatus =
    "Некорректный файл темы. [Размер файла превышает 512 КБ]";
inline constexpr const char* kSlotTooLargeMessage =
    "Некорректный файл темы: размер вложенного файла превышает 512 КБ. Загрузка невозможна.";
inline constexpr const char* kTooLongMessage =
    "Длина текста в данном поле превышает допустимое ограничение!";
inline constexpr const char* kEmptySlotMessage =
    "Вы не можете сохранить тему, пока не будут прикреплены к теме все файлы!";
inline constexpr const char* kMissingFileText = "Файл отсутствует!";

// The theme types by the value of the type byte.
inline constexpr std::array<const char*, 2> kThemeTypeNames = {"Черная тема", "Белая тема"};

}  // namespace wqt
