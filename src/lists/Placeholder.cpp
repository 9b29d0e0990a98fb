void tessora_lists_placeholder() {}
