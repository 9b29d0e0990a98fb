void tessora_settings_placeholder() {}
