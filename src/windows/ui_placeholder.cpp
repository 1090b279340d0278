// Keeps the ui library non-empty until the windows arrive.
namespace knokle { void uiPlaceholder() {} }
