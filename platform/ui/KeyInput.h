#pragma once
// The platform's text input protocols: a responder that takes typed text (KeyInput) and the traits that
// choose the keyboard shown for it. Text fields and text views are both; the keyboard appears for a
// first responder that takes typed text.

#include <string>

namespace ql::ui {

enum class KeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
    DecimalPad = 8,
    Twitter = 9,
    WebSearch = 10,
};

enum class ReturnKeyType {
    Default = 0,
    Go = 1,
    Google = 2,
    Join = 3,
    Next = 4,
    Route = 5,
    Search = 6,
    Send = 7,
    Yahoo = 8,
    Done = 9,
    EmergencyCall = 10,
};

enum class KeyboardAppearance { Default = 0, Dark = 1, Light = 2 };
enum class TextAutocapitalizationType { None = 0, Words = 1, Sentences = 2, AllCharacters = 3 };
enum class TextAutocorrectionType { Default = 0, No = 1, Yes = 2 };
enum class TextSpellCheckingType { Default = 0, No = 1, Yes = 2 };

class KeyInput {
public:
    virtual ~KeyInput() = default;
    virtual bool hasText() const = 0;
    // Typed text; "\n" is the return key.
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
};

class TextInputTraits {
public:
    virtual ~TextInputTraits() = default;

    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType type) { keyboardType_ = type; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }
    KeyboardAppearance keyboardAppearance() const { return keyboardAppearance_; }
    void setKeyboardAppearance(KeyboardAppearance appearance) { keyboardAppearance_ = appearance; }
    bool isSecureTextEntry() const { return secureTextEntry_; }
    virtual void setSecureTextEntry(bool secure) { secureTextEntry_ = secure; }
    TextAutocapitalizationType autocapitalizationType() const { return autocapitalization_; }
    void setAutocapitalizationType(TextAutocapitalizationType type) { autocapitalization_ = type; }
    TextAutocorrectionType autocorrectionType() const { return autocorrection_; }
    void setAutocorrectionType(TextAutocorrectionType type) { autocorrection_ = type; }
    TextSpellCheckingType spellCheckingType() const { return spellChecking_; }
    void setSpellCheckingType(TextSpellCheckingType type) { spellChecking_ = type; }
    bool enablesReturnKeyAutomatically() const { return enablesReturnKeyAutomatically_; }
    void setEnablesReturnKeyAutomatically(bool enables) { enablesReturnKeyAutomatically_ = enables; }

private:
    KeyboardType keyboardType_ = KeyboardType::Default;
    ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
    KeyboardAppearance keyboardAppearance_ = KeyboardAppearance::Default;
    bool secureTextEntry_ = false;
    TextAutocapitalizationType autocapitalization_ = TextAutocapitalizationType::Sentences;
    TextAutocorrectionType autocorrection_ = TextAutocorrectionType::Default;
    TextSpellCheckingType spellChecking_ = TextSpellCheckingType::Default;
    bool enablesReturnKeyAutomatically_ = false;
};

}  // namespace ql::ui
